#pragma once
// What the window tests share: a course folder of their own as the current directory, the program
// with its seven windows, and access to its controls by component name.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <string>

#include "app/program.h"
#include "app/tform3.h"
#include "reports/report_form.h"
#include "testing/encipher_form.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/info_windows.h"
#include "ui/tform1.h"

namespace ortavia::testsupport {

// What a course folder starts with: nothing, the sample course's settings and tests, or the whole
// sample course with its documents.
enum class Contents { Nothing, SettingsAndTests, Everything };

// A fresh course folder made the current directory for the test's lifetime.
class CourseFolder {
public:
    explicit CourseFolder(Contents contents = Contents::SettingsAndTests);
    ~CourseFolder();
    QString path() const { return dir_.path(); }
    QString file(const QString& relative) const { return dir_.filePath(relative); }
    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;
    bool exists(const QString& relative) const;
    // The lines of a text file in the code page (CR LF ends), as UTF-8 text.
    QStringList lines(const QString& relative) const;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// The program as start-up leaves it after the title screen has closed.
class Running {
public:
    explicit Running(bool closeTitle = true);
    // The program on the course given (the lab server's client) rather than the current directory.
    explicit Running(std::unique_ptr<course::Course> course, bool closeTitle = true);
    ~Running();
    ui::Program program;
    ui::TForm1* main() const { return program.form1.get(); }

    QAction* action(const char* name) const;
    template <typename T> T* control(const char* name) const {
        T* c = ui::findComponentAs<T>(main(), QString::fromLatin1(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    // The screen the user sees: the highest visible panel of the stack.
    QString visibleScreen() const;
    void trigger(const char* name) const;
    void click(const char* name) const;
    void type(const char* edit, const QString& text) const;

    // Registers and signs in through the sign-in screen.
    void registerUser(const QString& name, const QString& password) const;
    void signIn(const QString& name, const QString& password) const;
    void signInAdmin() const;             // with the sample course's administrator login
    bool enabled(const char* item) const; // the menu item's enabled state as the program set it
    void answer(int k) const;             // double-clicks answer k of the test screen

    // The keyboard, as the user has it: each key goes to the control of the main window that has
    // the keyboard focus at that moment.
    QWidget* focused() const;
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
    void typeKeys(const QString& text) const;
};

// Types text into a control key by key, as a keyboard does (QTest::keyClicks knows only ASCII).
void typeKeys(QWidget* widget, const QString& text);

// Code page bytes of a UTF-8 text.
std::string cp(const char* utf8);

// Writes the user list "users" of the course folder, one name (UTF-8) a line.
void writeUserList(const CourseFolder& course, const std::vector<const char*>& names);

// Writes a user record of "\users.ini" (password "pw" and the grade texts of tests 1, 2, ...).
void storeRecord(const char* user, const std::vector<std::string>& grades);

// Writes the store's enciphered test file of a test with the given right answers (one per
// question) and question count text, replacing any file of that name.
void writeTest(const QString& testName, const std::vector<int>& rightAnswers, const std::string& count = {});

// The teacher's command-line tool of the build, run to its end with its exit status and output.
inline const QString kTool = QStringLiteral(ORTAVIA_BINARY_DIR "/ortavia-tests");
struct ToolRun {
    int status; // -1 when it did not end normally
    QString out, err;
};
ToolRun runTool(const QStringList& args, int timeoutMs = 60000);

QString lastBoxText();
int boxCount();

} // namespace ortavia::testsupport

// main() of a window test: the application prepared like the program's, message boxes answered
// by the test.
#define ORTAVIA_TEST_MAIN(TestClass)                                                                         \
    int main(int argc, char** argv) {                                                                        \
        ortavia::ui::prepareApplication();                                                                   \
        QApplication app(argc, argv);                                                                        \
        ortavia::ui::dialogs::setTestMode(true);                                                             \
        TestClass tc;                                                                                        \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
