#include "ui/look.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOption>
#include <cmath>
#include <cstring>

#include "docs/catalogue.h"

namespace ortavia::ui::look {
namespace {

double luminance(const QColor& c) {
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

void paintRing(QPainter& painter, const QRect& r, const QColor& colour) {
    const int t = kFocusRing;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), t), colour);
    painter.fillRect(QRect(r.left(), r.bottom() - t + 1, r.width(), t), colour);
    painter.fillRect(QRect(r.left(), r.top() + t, t, r.height() - 2 * t), colour);
    painter.fillRect(QRect(r.right() - t + 1, r.top() + t, t, r.height() - 2 * t), colour);
}

// The colour a control shows where the ring goes.
QColor ownColour(const QWidget* w) {
    if (qobject_cast<const QAbstractButton*>(w) && !w->inherits("QRadioButton") && !w->inherits("QCheckBox"))
        return w->palette().color(QPalette::Button);
    if (w->inherits("QAbstractScrollArea") || w->inherits("QLineEdit") || w->inherits("QComboBox") ||
        w->inherits("QAbstractSpinBox"))
        return w->palette().color(QPalette::Base);
    return w->palette().color(QPalette::Window);
}

// The styles' own focus frames (the current cell of a table, an answer's text) drawn as a ring.
class RingStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        // A control's own ring shows its focus; only a table's cell and a control that draws its
        // own frame get one here.
        if (widget && !widget->property(kOwnFocusFrame).toBool() && !widget->inherits("QAbstractItemView"))
            return;
        const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option);
        const QColor background = focus && focus->backgroundColor.isValid()
                                      ? focus->backgroundColor
                                      : option->palette.color(QPalette::Window);
        painter->save();
        paintRing(*painter, option->rect, ringColour(background));
        painter->restore();
    }
};

// The ring on the control that has the focus: a child laid over its edge, taking no input.
class Ring : public QWidget {
public:
    explicit Ring(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("FocusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }
    QColor colour;

protected:
    void paintEvent(QPaintEvent*) override {
        // Inside the control's own one-pixel edge, so that the whole ring stands out from the
        // colour it covers.
        QPainter painter(this);
        paintRing(painter, rect().adjusted(1, 1, -1, -1), colour);
    }
};

class RingKeeper : public QObject {
public:
    explicit RingKeeper(QObject* parent) : QObject(parent) {}

    void follow(QWidget* focused) {
        if (target_)
            target_->removeEventFilter(this);
        if (menuBar_)
            disconnect(menuBar_, nullptr, this, nullptr);
        target_ = focused && !focused->isWindow() && !focused->inherits("QMenu") ? focused : nullptr;
        // The parts of a combo box or a spin box show their owner's ring.
        if (target_ && target_->parentWidget() &&
            (qobject_cast<QComboBox*>(target_->parentWidget()) ||
             qobject_cast<QAbstractSpinBox*>(target_->parentWidget())))
            target_ = target_->parentWidget();
        if (target_ && target_->property(kOwnFocusFrame).toBool())
            target_ = nullptr;
        if (!target_) {
            if (ring_)
                ring_->hide();
            return;
        }
        if (!ring_)
            ring_ = new Ring(target_);
        else if (ring_->parentWidget() != target_)
            ring_->setParent(target_);
        ring_->colour = ringColour(ownColour(target_));
        target_->installEventFilter(this);
        menuBar_ = qobject_cast<QMenuBar*>(target_);
        if (menuBar_)
            connect(menuBar_, &QMenuBar::hovered, this, [this] { place(); });
        place();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_ && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded))
            place();
        return false;
    }

private:
    void place() {
        if (!target_ || !ring_)
            return;
        QRect area = target_->rect();
        if (menuBar_ && menuBar_->activeAction())
            area = menuBar_->actionGeometry(menuBar_->activeAction());
        ring_->setGeometry(area);
        ring_->raise();
        ring_->show();
        ring_->update();
    }

    QPointer<QWidget> target_;
    QPointer<QMenuBar> menuBar_;
    QPointer<Ring> ring_;
};

} // namespace

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ringColour(const QColor& background) {
    return contrast(background, Qt::black) >= contrast(background, Qt::white) ? QColor(Qt::black)
                                                                              : QColor(Qt::white);
}

void installFocusRing() {
    static QPointer<RingKeeper> keeper;
    if (keeper)
        return;
    QApplication::setStyle(new RingStyle);
    keeper = new RingKeeper(qApp);
    QObject::connect(qApp, &QApplication::focusChanged, keeper,
                     [](QWidget*, QWidget* now) { keeper->follow(now); });
}

void installFontSubstitutes() {
    QFont::insertSubstitutions(QString::fromLatin1(kSerif),
                               {QStringLiteral("PT Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QString::fromLatin1(kSansSerif),
                               {QStringLiteral("PT Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QString::fromLatin1(kArial),
                               {QStringLiteral("PT Sans"), QStringLiteral("DejaVu Sans")});
}

QFont font(const char* family, int pixelSize, bool bold) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void maskWithStars(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void accent(QPushButton* button) {
    button->setStyleSheet(QStringLiteral("QPushButton { background: #1f6fb2; color: white; border: none;"
                                         " border-radius: 4px; padding: 4px 12px; }"
                                         "QPushButton:hover { background: #2a82cc; }"
                                         "QPushButton:pressed { background: #175a91; }"
                                         "QPushButton:focus { border: 2px solid #f2b632; }"));
}

void flat(QPushButton* button) {
    button->setFlat(true);
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid transparent; border-radius: 4px; }"
                       "QPushButton:hover { border-color: #1f3a5f; background: rgba(255,255,255,60); }"
                       "QPushButton:focus { border: 2px solid #1f3a5f; }"));
}

QIcon menuIcon(const docs::MenuEntry& entry) {
    const char* picture = nullptr;
    const std::string_view parent = entry.parent ? entry.parent : "";
    switch (entry.action) {
    case docs::Action::Test:
        picture = "test";
        break;
    case docs::Action::Launch:
        picture = "slides";
        break;
    case docs::Action::View:
        picture = parent == "N0" ? "lecture" : parent == "nlab" ? "lab" : parent == "N21" ? "help" : "page";
        break;
    case docs::Action::Command:
        if (std::strcmp(entry.name, "Ni") == 0 || std::strcmp(entry.name, "N40") == 0 ||
            std::strcmp(entry.name, "NSvod") == 0 || std::strcmp(entry.name, "NStat") == 0)
            picture = "grades";
        else if (std::strcmp(entry.name, "N30") == 0)
            picture = "journal";
        else if (std::strcmp(entry.name, "Ntun") == 0)
            picture = "settings";
        else if (std::strcmp(entry.name, "nred") == 0)
            picture = "lock";
        else if (std::strcmp(entry.name, "N15") == 0 || std::strcmp(entry.name, "N26") == 0)
            picture = "info";
        break;
    case docs::Action::Submenu:
        break;
    }
    if (!picture || !entry.parent)
        return {};
    return QIcon(QStringLiteral(":/ortavia/menu/%1.svg").arg(QString::fromLatin1(picture)));
}

} // namespace ortavia::ui::look
