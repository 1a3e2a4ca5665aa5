#pragma once
// Question texts on the screen: the notation put into a text document as rich text, each figure
// drawn for the display at the size it is shown, and a figure shown large on its own.
#include <QString>
#include <functional>

#include "testing/notation.h"

class QTextDocument;
class QWidget;

namespace ortavia::ui::formula {

// The folder figures are shown from: the one the main window's course gives (setCourseFigures),
// without one data/tests/img of the current directory.
QString courseFigures();
void setCourseFigures(std::function<QString()> folder);

// The text, in the notation, as the document's content; figures from the course's folder, sized
// by the box, drawn for the device pixel ratio.
void show(QTextDocument* document, const QString& text, const testing::notation::FigureBox& box,
          qreal devicePixelRatio);

// The figure of the course's folder named by the image in the document at the position (a
// cursor position), or empty when there is none.
QString figureAt(const QTextDocument* document, int position);

// Opens a window of the parent showing the figure as large as the screen allows, up to twice its
// natural size; a click or Escape closes it. Object name "FigureView".
QWidget* showLarge(QWidget* parent, const QString& path);

} // namespace ortavia::ui::formula
