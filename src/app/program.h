#pragma once
// Start-up: the seven windows of the program, created once in a fixed order and kept until the
// program ends; the title screen shown modally; the main window revealed when it closes.
#include <QString>
#include <memory>
#include <string>

#include "course/course.h"

namespace ortavia::ui {

class DocumentScheme;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TOKRightDlg;
class TOKRightDlg1;

// What must happen before the QApplication exists (web engine settings, attributes).
void prepareApplication();
// The framework's translations of its own windows; called once the QApplication exists.
void installTranslations();

// The lab server's course at "HOST[:PORT]" whose certificate has the fingerprint, once it has
// answered; nullptr when the address is none or the server cannot be reached or shows another
// certificate, told in an error box naming the address.
std::unique_ptr<course::Course> connectToServer(const QString& address, const std::string& fingerprint);

class Program {
public:
    // Creates the windows on the course given (the course folder, the current directory, when none
    // is given); the main window stays hidden.
    explicit Program(std::unique_ptr<course::Course> course = nullptr);
    ~Program(); // releases them in the reverse order
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void showTitle(); // returns when the title screen has closed
    int run();        // the whole start-up sequence and the event loop until the main window closes

    // The course every window reaches: declared first, so that it outlives the windows.
    std::unique_ptr<course::Course> course;
    std::unique_ptr<DocumentScheme> documents; // the viewer's addresses of a lab server's documents
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TOKRightDlg> okRightDlg;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TOKRightDlg1> okRightDlg1;
    std::unique_ptr<TForm5> form5;
};

} // namespace ortavia::ui
