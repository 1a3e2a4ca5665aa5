#include "ui/design.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <map>

namespace ortavia::ui::design {
namespace {

// Below this scale a screen can no longer be read; the main window's minimum size keeps it above.
constexpr double kSmallestScale = 0.3;

// The frame that a window manager draws around a window that has not been shown yet (title bar
// and borders); generous, so that a window placed with it stays on the screen.
constexpr QMargins kFrameAllowance(8, 38, 8, 8);

// Plain frames and widgets are containers: what is placed on them belongs to the design too.
bool isContainer(const QWidget* w) {
    return w->metaObject() == &QFrame::staticMetaObject || w->metaObject() == &QWidget::staticMetaObject;
}

QMargins frameOf(const QWidget* window) {
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    if (window->isVisible() && frame != inner)
        return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                frame.bottom() - inner.bottom()};
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {};
    return kFrameAllowance;
}

QRect availableArea(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

double fitScale(QSize design, QSize room) {
    if (design.isEmpty() || room.isEmpty())
        return 1;
    const double s =
        std::min({1.0, double(room.width()) / design.width(), double(room.height()) / design.height()});
    return std::max(s, kSmallestScale);
}

int scaled(int value, double scale) {
    return static_cast<int>(std::lround(value * scale));
}

QRect scaled(const QRect& design, double scale) {
    const int left = scaled(design.left(), scale);
    const int top = scaled(design.top(), scale);
    return {left, top, scaled(design.left() + design.width(), scale) - left,
            scaled(design.top() + design.height(), scale) - top};
}

QSize scaled(QSize design, double scale) {
    return {scaled(design.width(), scale), scaled(design.height(), scale)};
}

QFont scaled(const QFont& design, double scale) {
    QFont f = design;
    if (design.pixelSize() > 0)
        f.setPixelSize(std::max(1, scaled(design.pixelSize(), scale)));
    else if (design.pointSizeF() > 0)
        f.setPointSizeF(design.pointSizeF() * scale);
    return f;
}

// ---------------------------------------------------------------------------------------------
// Layout

Layout::Layout(QWidget* root, std::initializer_list<const QWidget*> except)
    : root_(root), rootFont_(root->font()) {
    record(root, true, except);
}

void Layout::record(QWidget* parent, bool onRoot, std::initializer_list<const QWidget*> except) {
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow() || std::find(except.begin(), except.end(), w) != except.end())
            continue;
        if (parent->layout() && parent->layout()->indexOf(w) >= 0)
            continue; // placed by the layout
        items_.push_back({w, onRoot, w->geometry(), w->minimumSize(), w->maximumSize(),
                          w->testAttribute(Qt::WA_SetFont), w->font()});
        if (isContainer(w))
            record(w, false, except);
    }
}

void Layout::apply(double scale, QPoint offset) {
    if (!root_ || (scale == scale_ && offset == offset_))
        return;
    scale_ = scale;
    offset_ = offset;
    root_->setFont(scaled(rootFont_, scale));
    for (const Item& item : items_) {
        QWidget* w = item.widget;
        if (!w)
            continue;
        if (item.ownFont)
            w->setFont(scaled(item.font, scale));
        w->setMinimumSize(scaled(item.minimum, scale));
        w->setMaximumSize(
            item.maximum.width() < QWIDGETSIZE_MAX ? scaled(item.maximum.width(), scale) : QWIDGETSIZE_MAX,
            item.maximum.height() < QWIDGETSIZE_MAX ? scaled(item.maximum.height(), scale) : QWIDGETSIZE_MAX);
        QRect g = scaled(item.geometry, scale);
        if (item.onRoot)
            g.translate(offset);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // A text is never cut: a label is at least as large as its text in the scaled font.
            if (label->wordWrap())
                g.setHeight(std::max(g.height(), label->heightForWidth(g.width())));
            else
                g.setSize(g.size().expandedTo(label->sizeHint()));
        }
        w->setGeometry(g);
    }
}

// ---------------------------------------------------------------------------------------------
// Windows

QSize clientRoom(const QWidget* window) {
    return availableArea(window).marginsRemoved(frameOf(window)).size();
}

void centre(QWidget* window) {
    const QRect room = availableArea(window);
    if (room.isEmpty())
        return;
    // The client area is placed, not the frame: before a window manager has framed a window, a
    // window's position means its client area on some platforms and its frame on others.
    const QMargins frame = frameOf(window);
    const QSize outer = window->size().grownBy(frame);
    const QPoint corner(room.left() + std::max(0, (room.width() - outer.width()) / 2),
                        room.top() + std::max(0, (room.height() - outer.height()) / 2));
    window->setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), window->size()));
}

void fitOnScreen(QWidget* window) {
    const QSize room = clientRoom(window);
    if (!room.isEmpty())
        window->resize(window->size().boundedTo(room));
    centre(window);
}

void fitFixedWindow(QWidget* window, Layout& layout, QSize design) {
    const double s = fitScale(design, clientRoom(window));
    layout.apply(s);
    window->setFixedSize(scaled(design, s));
    centre(window);
}

void keepTextsInside(QWidget* window, int margin) {
    const int limit = window->width() - margin;
    std::vector<QLabel*> labels;
    for (QObject* child : window->children())
        if (auto* label = qobject_cast<QLabel*>(child);
            label && !label->isHidden() && !label->text().isEmpty())
            labels.push_back(label);
    // A column moves as far left as its widest text needs, no further than the margin.
    std::map<int, int> columnLeft;
    for (QLabel* label : labels) {
        const int width = label->wordWrap() ? label->width() : label->sizeHint().width();
        const int left = std::max(margin, std::min(label->x(), limit - width));
        auto [it, added] = columnLeft.try_emplace(label->x(), left);
        if (!added)
            it->second = std::min(it->second, left);
    }
    for (QLabel* label : labels) {
        label->move(columnLeft.at(label->x()), label->y());
        const int width = label->wordWrap() ? label->width() : label->sizeHint().width();
        if (label->x() + width > limit) {
            label->setWordWrap(true);
            const int room = limit - label->x();
            label->setMinimumWidth(0);
            label->setMaximumWidth(room);
            label->setGeometry(label->x(), label->y(), room, label->heightForWidth(room));
        }
    }
}

} // namespace ortavia::ui::design
