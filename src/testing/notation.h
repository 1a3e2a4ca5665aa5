#pragma once
// The notation of question and answer texts: a small TeX-like language that a test file stores as
// plain code page text and that is shown typeset wherever a question is read.
//
//   x^2  x^{-1}  10^23       superscript: a braced group, a command, a run of digits (with a sign),
//                            or one letter
//   V_0  V_{max}             subscript, the same arguments
//   \alpha ... \omega, \Alpha ... \Omega, \cdot \times \pm \mp \approx \ne \le \ge \sim \propto
//   \infty \partial \nabla \degree \hbar \to \parallel \perp \angle    one character each
//   \sqrt{x}  \vec{F}  \frac{a}{b}                                     with braced arguments
//   \img{circuit.svg}        a figure: the file data/tests/img/circuit.svg of the course
//   \\                       a backslash
//
// A command ends at the first character that is not a Latin letter; "{}" right after a command
// ends it before a letter ("\omega{}t"). Blanks are shown as typed. Braces are argument brackets
// only after a command or a script sign; elsewhere they are shown. What the notation cannot read
// (an unknown command, a brace without its partner, a command without its argument) is shown as
// typed, and problems() names it.
//
// The rich text is built from the text alone: every character of it is HTML-escaped, and the only
// markup is what the notation itself makes (sup, sub, an overline, an image of the course's
// figure folder).
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace ortavia::testing::notation {

// The figure folder of a course: <course>/data/tests/img.
QString figureFolder(const QString& courseFolder);

// How figures are sized: their natural size (pixels at 96 dpi) times the scale, and no larger
// than the box (an empty box: no limit). Proportions are kept.
struct FigureBox {
    QSize box;
    double scale = 1;
};

// The text as rich text for Qt's rich text engine (one paragraph, blanks kept). A figure that
// cannot be found in imageFolder, or whose name has a folder part, is shown as its name.
QString toRichText(const QString& text, const QString& imageFolder, const FigureBox& figures = {});

// The text as Unicode plain text: μ₀, B², √x, F⃗; a fraction as (a+b)/c, a script that Unicode
// has no characters for as ^(…) or _(…), a figure as «[рисунок: NAME]».
QString toPlainText(const QString& text);

struct Problem {
    int column; // 1-based position in the text
    QString text;
};
// What the notation cannot read, in order of position (Russian texts).
std::vector<Problem> problems(const QString& text);

// The figures the text names (names as written, each once).
QStringList figureNames(const QString& text);
// Whether a figure name is a plain file name (no folder part, no "..", not empty).
bool plainFigureName(const QString& name);
// The size a figure is shown at (logical pixels).
QSize figureSize(const QString& path, const FigureBox& figures);
// The file of a figure in the folder (file names matched without regard to case), or empty.
QString figurePath(const QString& imageFolder, const QString& name);
// The figure as an image of the given size in device pixels (SVG drawn at that size); kept in a
// cache, so showing the same figure again reads no file. A null image when it cannot be read.
QImage figureImage(const QString& path, QSize pixels);

// Unicode -> notation for import: every character that the course code page cannot hold but the
// notation can say is written in the notation (² -> ^2, λ -> \lambda, √x -> \sqrt{x}, F⃗ ->
// \vec{F}, − -> -); everything else is kept. With giftEscapes, the braces made are written as
// GIFT's escaped braces, which the GIFT reader turns back into braces.
QString fromUnicode(const QString& text, bool giftEscapes = false);
// Whether fromUnicode turns the character into notation.
bool sayable(char32_t c);
// Notation -> Unicode for export: each part with an exact Unicode form that fromUnicode reads
// back as written is turned into it (B^2 -> B², \mu_0 -> μ₀); the rest keeps the notation, so
// that fromUnicode(toUnicodeSource(t)) == t.
QString toUnicodeSource(const QString& text);

// The table of the import (Unicode character, its notation), for the help page.
std::vector<std::pair<QString, QString>> importTable();

} // namespace ortavia::testing::notation
