#include "app/tform3.h"

#include <QCloseEvent>
#include <QLabel>
#include <QSvgWidget>
#include <QTimer>

#include "docs/deployment.h"
#include "ui/components.h"
#include "ui/design.h"
#include "ui/look.h"

namespace ortavia::ui {
namespace {

constexpr QSize kDesign(719, 655);
constexpr int kTextMargin = 8; // no text comes closer to the window's edge

void place(QWidget* parent, const char* name, const QString& text, QPoint at, int pixels,
           const QColor& colour) {
    makeLabel(parent, name, text, at, look::font(look::kSerif, pixels, true), colour)
        ->setAttribute(Qt::WA_TranslucentBackground);
}

QString u(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TForm3::TForm3(QWidget* mainWindow, const deployment::Texts& t, QWidget* parent)
    : QDialog(parent), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Титульный лист"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kDesign);
    look::setBackground(this, look::kTeal);

    auto* background = new QSvgWidget(QStringLiteral(":/ortavia/title.svg"), this);
    background->setObjectName(QStringLiteral("Image1"));
    background->setGeometry(0, 0, 719, 655);
    auto* emblem = new QSvgWidget(QStringLiteral(":/ortavia/emblem.svg"), this);
    emblem->setObjectName(QStringLiteral("Image2"));
    emblem->setGeometry(512, 64, 137, 129);

    const QColor lime(0x00, 0xFF, 0x00), fuchsia(0xFF, 0x00, 0xFF);
    place(this, "Label1", u(t.institution), {32, 8}, 21, lime);
    place(this, "Label2", u(t.department), {152, 40}, 21, lime);
    place(this, "Label4", u(deployment::kCourseTitle), {192, 200}, 64, fuchsia);
    place(this, "Label7", u(t.specialty), {152, 280}, 21, fuchsia);
    place(this, "Label3", u(t.publication), {128, 312}, 32, lime);
    place(this, "Label6", u("Құрастырушы: ") + u(t.compiler) + u("\n") + u(t.compilerPosition), {368, 464},
          21, fuchsia);
    place(this, "Label8", u("Әзірлеуші: ") + u(t.developer), {368, 536}, 19, fuchsia);
    place(this, "Label9", u(t.developerPosition), {368, 560}, 19, fuchsia);
    place(this, "Label5", u(t.city) + u(" — ") + u(t.year), {256, 624}, 16, Qt::black);

    layout_ = std::make_unique<design::Layout>(this);
    design::keepTextsInside(this, kTextMargin);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, &TForm3::Timer1Timer);
    Timer1->start();
}

TForm3::~TForm3() = default;

void TForm3::showEvent(QShowEvent* event) {
    // The design where the screen has room for it, scaled down where it has not; centred.
    design::fitFixedWindow(this, *layout_, kDesign);
    design::keepTextsInside(this, kTextMargin);
    QDialog::showEvent(event);
}

void TForm3::Timer1Timer() {
    close();
}

void TForm3::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TForm3::done(int result) {
    FormClose(); // Escape and reject() close the title screen like its close box
    QDialog::done(result);
}

void TForm3::FormClose() {
    Timer1->stop();
    if (closed_)
        return;
    closed_ = true;
    mainWindow_->setVisible(true);
}

} // namespace ortavia::ui
