#include "app/tform3.h"

#include <QCloseEvent>
#include <QLabel>
#include <QSvgWidget>
#include <QTimer>

#include "app/deployment.h"
#include "ui/design.h"
#include "ui/look.h"

namespace ortavia::ui {
namespace {

constexpr QSize kDesign(719, 655);
constexpr int kTextMargin = 8; // no text comes closer to the window's edge

void place(QWidget* parent, const char* name, const QString& text, QPoint at, int pixels,
           const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(look::font(look::kSerif, pixels, true));
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->move(at);
    label->adjustSize();
}

QString u(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TForm3::TForm3(QWidget* mainWindow, QWidget* parent) : QDialog(parent), mainWindow_(mainWindow) {
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
    using namespace deployment;
    place(this, "Label1", u(kInstitution), {32, 8}, 21, lime);
    place(this, "Label2", u(kDepartment), {152, 40}, 21, lime);
    place(this, "Label4", u(kCourseTitle), {192, 200}, 64, fuchsia);
    place(this, "Label7", u(kSpecialty), {152, 280}, 21, fuchsia);
    place(this, "Label3", u(kPublicationKind), {128, 312}, 32, lime);
    place(this, "Label6", u("Құрастырушы: ") + u(kCompilerName) + u("\n") + u(kCompilerPosition), {368, 464},
          21, fuchsia);
    place(this, "Label8", u("Әзірлеуші: ") + u(kDeveloperName), {368, 536}, 19, fuchsia);
    place(this, "Label9", u(kDeveloperPosition), {368, 560}, 19, fuchsia);
    place(this, "Label5", u(kCity) + u(" — ") + u(kYear), {256, 624}, 16, Qt::black);

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
