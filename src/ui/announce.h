#pragma once
// Tells a screen reader what has just happened on a window without moving the keyboard focus (the
// next question and how far the test is, the grade at its end): the window's status line takes
// the text and announces it. The status line is not drawn.
#include <QString>

class QWidget;

namespace ortavia::ui {

void announce(QWidget* window, const QString& text);

} // namespace ortavia::ui
