#pragma once
// Every screen and window is drawn from design coordinates: logical pixels at 96 dpi, as the
// layouts give them. One scale maps them onto the room that a display leaves: the design itself
// where it fits, scaled down uniformly (geometry and pixel fonts alike) where the room is smaller,
// so that a screen is always shown whole and never clipped.
#include <QFont>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <initializer_list>
#include <vector>

class QWidget;

namespace ortavia::ui::design {

// The scale at which a design of the given size fits a room: 1 where it fits, less where not.
double fitScale(QSize design, QSize room);

// The one scale function: a design coordinate or length at a scale.
int scaled(int value, double scale);
// A design rectangle at a scale; its edges are scaled, so that rectangles that touch keep touching.
QRect scaled(const QRect& design, double scale);
QSize scaled(QSize design, double scale);
// A font at a scale: its pixel (or point) size follows the geometry.
QFont scaled(const QFont& design, double scale);

// The controls placed on a window or a screen as designed, laid out again at any scale.
class Layout {
public:
    // Records the geometry, size limits and font of every control placed on root, and of the
    // controls placed on the plain frames among them, as they are now: that is the design. The
    // controls in `except` (and what they hold) are left to their own placement.
    explicit Layout(QWidget* root, std::initializer_list<const QWidget*> except = {});

    // Lays the controls out at a scale, the controls placed on root shifted by an offset. At scale
    // 1 without offset every control stands exactly as designed.
    void apply(double scale, QPoint offset = {});
    double scale() const { return scale_; }
    QPoint offset() const { return offset_; }

private:
    struct Item {
        QPointer<QWidget> widget;
        bool onRoot;
        QRect geometry;
        QSize minimum, maximum;
        bool ownFont;
        QFont font;
    };
    void record(QWidget* parent, bool onRoot, std::initializer_list<const QWidget*> except);

    QPointer<QWidget> root_;
    QFont rootFont_;
    std::vector<Item> items_;
    double scale_ = 1;
    QPoint offset_;
};

// The room for a window's client area: its screen's available area less the window frame (the
// frame as the window manager drew it, or an allowance for one before the window is first shown).
QSize clientRoom(const QWidget* window);

// Puts a window, frame and all, in the middle of its screen's available area.
void centre(QWidget* window);

// A resizable window of the additions on its screen: its size as made where there is room, no
// larger than the room otherwise (its content scrolls or shrinks), then centred.
void fitOnScreen(QWidget* window);

// A fixed-size window that fits its screen: the design where there is room, otherwise scaled
// down through its layout; then centred. The window's design client size is `design`.
void fitFixedWindow(QWidget* window, Layout& layout, QSize design);

// Texts of a window that run past its right edge: labels that share a left edge form a column
// and move left together, down to the margin; a text still too long wraps within the window.
void keepTextsInside(QWidget* window, int margin);

} // namespace ortavia::ui::design
