#pragma once
// The program's look: its colours, fonts and the small pictures of the menu.
#include <QColor>
#include <QFont>
#include <QIcon>

class QLineEdit;
class QPushButton;
class QWidget;

namespace ortavia::docs {
struct MenuEntry;
}

namespace ortavia::ui::look {

inline const QColor kTeal{0x00, 0x80, 0x80};
inline const QColor kSkyBlue{0xA6, 0xCA, 0xF0};
inline const QColor kFace{0xF0, 0xF0, 0xF0};
inline const QColor kSignIn{0xE6, 0xEE, 0xF5};
inline const QColor kCard{0xFF, 0xFF, 0xFF};
inline const QColor kInk{0x1F, 0x3A, 0x5F};
inline const QColor kMuted{0x5A, 0x6B, 0x7D};
inline const QColor kWarn{0x8B, 0x1A, 0x1A};
inline const QColor kAccent{0x1F, 0x6F, 0xB2};

inline constexpr const char* kSerif = "Times New Roman";
inline constexpr const char* kSansSerif = "MS Sans Serif";
inline constexpr const char* kArial = "Arial";
inline constexpr const char* kMono = "DejaVu Sans Mono";

// The Windows font names of the layouts are served by PT Serif and PT Sans, which hold the Kazakh
// letters. Called once before any window is made.
void installFontSubstitutes();

// Where the keyboard focus is, shown on every control of every window: a ring of kFocusRing
// pixels, black or white, whichever stands out more from the control's own colour (at least 3:1
// against any colour, 4.5:1 against those of the program). The focused control carries the ring
// (the highlighted item of the menu bar, the current cell of a table). Called once when the
// application exists. A control that draws its own focus frame through the style (an answer of
// the test screen) carries the property kOwnFocusFrame and gets no second ring.
inline constexpr int kFocusRing = 2;
void installFocusRing();
inline constexpr const char* kOwnFocusFrame = "ownFocusFrame";
// The colour of the ring on a background, and the contrast ratio of two colours (1 to 21).
QColor ringColour(const QColor& background);
double contrast(const QColor& a, const QColor& b);

QFont font(const char* family, int pixelSize, bool bold);
void setBackground(QWidget* widget, const QColor& colour);
void maskWithStars(QLineEdit* edit);
// Both show the keyboard focus with a border of their own.
void accent(QPushButton* button);
void flat(QPushButton* button);
QIcon menuIcon(const docs::MenuEntry& entry);

} // namespace ortavia::ui::look
