#include "ui/info_windows.h"

#include <algorithm>

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSvgWidget>

#include "ui/components.h"
#include "ui/design.h"
#include "ui/look.h"

namespace ortavia::ui {
namespace {

constexpr QSize kAboutDesign(593, 274);
constexpr QSize kAuthorsDesign(469, 529);
constexpr int kTextMargin = 8; // no text comes closer to the window's edge

QString u(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TOKRightDlg::TOKRightDlg(const deployment::Texts& t, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OKRightDlg"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(kAboutDesign);
    look::setBackground(this, look::kSkyBlue);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Raised);
    bevel->setLineWidth(2);
    bevel->setGeometry(0, 32, 185, 177);
    auto* image = new QSvgWidget(QStringLiteral(":/ortavia/clockwork.svg"), bevel);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(2, 2, 181, 173);

    const QFont big = look::font(look::kSansSerif, 16, true);
    const QColor text = palette().color(QPalette::WindowText);
    makeLabel(this, "Label1", QStringLiteral("Данное электронное пособие"), {224, 24}, big, text);
    makeLabel(this, "Label2", QStringLiteral("предназначено для изучения студентами"), {224, 56}, big, text);
    makeLabel(this, "Label3", u(t.specialty), {256, 88}, look::font(look::kArial, 16, true), text);
    makeLabel(this, "Label4", QStringLiteral("по дисциплине \"Ортавия\""), {224, 120}, big, text);
    makeLabel(this, "Label5", u(t.city) + u(", ") + u(t.year), {232, 208},
              look::font(look::kSansSerif, 13, true), Qt::black);

    auto* ok = new QPushButton(QStringLiteral("Закрыть"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setGeometry(268, 232, 75, 25);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &TOKRightDlg::OKBtnClick);

    layout_ = std::make_unique<design::Layout>(this);
    design::keepTextsInside(this, kTextMargin);
}

TOKRightDlg::~TOKRightDlg() = default;

void TOKRightDlg::showEvent(QShowEvent* event) {
    design::fitFixedWindow(this, *layout_, kAboutDesign);
    design::keepTextsInside(this, kTextMargin);
    QDialog::showEvent(event);
}

void TOKRightDlg::OKBtnClick() {
    accept();
}

void TOKRightDlg::keyPressEvent(QKeyEvent* event) {
    // The dialog has no cancel button, so Escape does nothing; Enter presses "Закрыть".
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

TForm5::TForm5(const deployment::Texts& t, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Об авторе"));
    resize(kAuthorsDesign);
    look::setBackground(this, QColor(0xB9, 0xD1, 0xEA)); // the active caption's gradient colour

    auto* image = new QWidget(this); // a picture frame that holds no picture
    image->setObjectName(QStringLiteral("Image2"));
    image->setGeometry(40, 8, 217, 281);

    const QFont credit = look::font(look::kSerif, 19, true);
    const QColor red(0xFF, 0x00, 0x00);
    auto* compiler =
        makeLabel(this, "Label2", u("Құрастырушы:\n") + u(t.compiler) + u("\n") + u(t.compilerPosition),
                  {24, 312}, credit, red);
    compiler->setFixedWidth(399);
    compiler->setWordWrap(true);
    compiler->adjustSize();
    // The credits keep their places unless the texts above them run longer: then each follows the
    // one above, and long lines wrap within the window.
    auto below = [](const QLabel* above, int designed, int gap) {
        return std::max(designed, above->geometry().bottom() + 1 + gap);
    };
    auto* developer =
        makeLabel(this, "Label1", u("Әзірлеуші: ") + u(t.developer) + u(", ") + u(t.developerDepartment),
                  {24, below(compiler, 384, 0)}, credit, red);
    developer->setFixedWidth(469 - 2 * 24);
    developer->setWordWrap(true);
    developer->adjustSize();
    auto* position =
        makeLabel(this, "Label4", u(t.developerPosition), {24, below(developer, 408, 0)}, credit, red);
    makeLabel(this, "Label3", u(t.city) + u(" — ") + u(t.year), {144, below(position, 456, 24)}, credit,
              palette().color(QPalette::WindowText));

    layout_ = std::make_unique<design::Layout>(this);
    design::keepTextsInside(this, kTextMargin);
}

TForm5::~TForm5() = default;

void TForm5::showEvent(QShowEvent* event) {
    // An ordinary window at its designed place and size; on a screen too small for it, scaled
    // down to what room there is and moved onto the screen.
    const QSize room = design::clientRoom(this);
    const double s = design::fitScale(kAuthorsDesign, room);
    if (s < 1 || layout_->scale() < 1) {
        layout_->apply(s);
        resize(design::scaled(kAuthorsDesign, s));
        design::keepTextsInside(this, kTextMargin);
        design::centre(this);
    }
    QWidget::showEvent(event);
}

void TForm5::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ortavia::ui
