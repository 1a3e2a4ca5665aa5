#pragma once
// Message boxes and the open-file dialog of the program, behind one wrapper so that a test can
// answer them in advance: in test mode nothing modal is shown, every box is recorded, and each box
// takes the next of the answers given beforehand, once (or its default button when none is left).
#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace ortavia::ui {

enum class BoxKind { Error, Information, Warning };
enum class Answer { Ok, Cancel };

struct ShownBox {
    BoxKind kind;
    QString caption;
    QString text;
    Qt::TextFormat format; // how the box shows its text
};

namespace dialogs {

void error(QWidget* parent, const QString& text);       // caption "Error", OK
void information(QWidget* parent, const QString& text); // caption "Information", OK
// Warning box with OK and Cancel, the given one the default; Escape and the close box count as Cancel.
Answer warningOkCancel(QWidget* parent, const QString& text, Answer defaultAnswer = Answer::Ok);

// Runs a handler of a window as an event would: an error ends it and its text is shown in an
// error box over the window.
void guarded(QWidget* window, const std::function<void()>& handler);

// The open-file dialog: the chosen file's full path, or an empty text when cancelled. Like the
// platform's dialog, choosing a file moves the current directory to that file's folder.
QString openFile(QWidget* parent, const QString& caption);

// Test hooks.
void setTestMode(bool on);
bool testMode();
void answerNextBox(Answer answer);            // queued: the boxes take the answers in order
void answerNextOpenFile(const QString& path); // empty: the dialog is cancelled
const QList<ShownBox>& shownBoxes();
QString lastOpenFileFolder(); // the folder the last open-file dialog opened (or would open) in
void resetTestState();        // forgets the queued answers and the record of shown boxes

} // namespace dialogs
} // namespace ortavia::ui
