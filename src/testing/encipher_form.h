#pragma once
// The test encipher tool: turns a plain question file into an enciphered test file. A borderless
// modal window, created once at start-up and only hidden between uses, so that its fields and
// working values keep their content from one use to the next while the program runs.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "testing/encipher.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTextEdit;

namespace ortavia::ui {

class TForm1;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1* mainWindow, QWidget* parent = nullptr);

    // Handlers of the window and its controls.
    void FormShow();
    void FormClose();
    void Edit10Click();
    void Button1Click();
    void Button2Click();

    // The working values carried from one conversion to the next (mirrored in Edit1 ... Edit8).
    const testing::encipher::Working& working() const { return working_; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs a handler as an event would: an error ends it and is shown in an error box.
    void guarded(const std::function<void()>& handler);
    void showWorking();
    // The conversion put in place as data/tests/testN.ini of the course folder.
    void installIntoCourse(const std::string& source);

    TForm1* main_; // the main window: whether the administrator has signed in
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;   // install into the course as test SpinEdit1
    QSpinBox* SpinEdit1 = nullptr;    // the test number, 1 ... 10
    QTextEdit* MemoPreview = nullptr; // the last question converted, typeset as the test screen shows it

    testing::encipher::Working working_;
    QString remembered_; // the current directory when the window was shown
};

} // namespace ortavia::ui
