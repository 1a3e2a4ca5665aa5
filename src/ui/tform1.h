#pragma once
// The main window: its screens are panels stacked over one another (the highest visible panel is
// the one the user sees), its menu is built from the fixed menu table, and its state mirrors what
// the course holds for the session: the signed-in name, the save-at-close flag, the administrator
// settings and the question on screen. The grade array and the run are the course's.
#include <QMainWindow>
#include <QStringList>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "testing/run.h"
#include "testing/testing.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTextEdit;
class QPushButton;
class QRadioButton;
class QWebEngineView;

namespace ortavia::course {
class Course;
}

namespace ortavia::ui {

class AnswerButton;
class QuestionArea;
class TForm2;
class TForm5;
class TOKRightDlg;
class TOKRightDlg1;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(course::Course& course, QWidget* parent = nullptr);
    ~TForm1() override;

    // The course every window reaches, whether the course folder or the lab server.
    course::Course& course() const { return course_; }
    // While an answer waits for the lab server's connection to come back, the test screen says so
    // in its hint's place at the top; the notice goes when the answer has gone through.
    void connectionLost(bool lost);

    // Windows that the main window's commands show; set by start-up once all windows exist.
    void setWindows(TForm2* form2, TOKRightDlg* about, TOKRightDlg1* reportDialog, TForm5* authors);

    // The cipher of every enciphered value.
    static void crypt(const std::string& text, int key, std::string& out);

    // Switches the commands governed by a test on or off (the unlock table).
    void enable(const std::string& name, bool value);
    void opendoc(const std::string& relativePath);
    void launch(const std::string& commandLine);

    // Runs a handler as an event would: an Error ends it and is shown in an error box.
    void guarded(const std::function<void()>& handler);

    // Run state, read by the other windows and by tests.
    const std::string& signedInName() const { return signedInName_; }
    std::array<std::uint8_t, 12> grades() const; // the course's grade array
    bool saveAtClose() const { return saveAtClose_; }
    const std::string& adminLogin() const { return adminLogin_; }
    const std::string& adminPassword() const { return adminPassword_; }
    const std::string& journalName() const { return journalName_; }
    const std::string& currentTest() const { return currentTest_; }
    // True once the administrator has signed in with the settings' login and password: every
    // handler of an administrator's command checks it, whatever the menus show.
    bool administratorSignedIn() const { return administrator_; }
    int questionNumber() const { return tag_; }
    std::string reportUserName;

    QWebEngineView* browser() const { return WebBrowser1; }
    // The address last handed to the viewer (what a command asked for, whatever the page shows).
    const QUrl& requestedUrl() const { return requestedUrl_; }
    bool runActive() const { return runActive_; }

    // Slide shows are started through this hook (replaced by tests); it gets the program and its
    // arguments and starts them detached.
    static std::function<void(const QString&, const QStringList&)> launcher;

    // Handlers of the window's commands and controls.
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void NeClick();
    void NaFormuAvtorizaziiClick();
    void NtunClick();
    void SpeedButton6Click();
    void N17Click();
    void SpeedButton5Click();
    void nredClick();
    void SpeedButton7Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void NiClick();
    void ComboBox1Select();
    void SpeedButton4Click();
    void N30Click();
    void N40Click();
    void NSvodClick(); // the class overview (reports/class_overview_form.cpp)
    void NStatClick(); // the test statistics (reports/statistics_form.cpp)
    void NOptClick();  // the options of the tests (testing/options_form.cpp)
    void NMonClick();  // the live view of a lab server (reports/class_monitor_form.cpp)
    // The test editor (testing/editor_form.cpp).
    void NEditorClick();
    void N26Click();
    void N15Click();
    void testClick(const QString& testName); // test1Click ... test10Click
    void Button2Click();
    void RadioButtonDblClick(int k); // RadioButton1DblClick ... RadioButton5DblClick
    void RadioButton6DblClick();

signals:
    void closed(); // the window has closed after confirmation: the program ends

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void fitToScreen();
    void buildPanels();
    void buildSignIn();
    void buildSettings();
    void buildTestScreen();
    void buildProgress();
    void buildTextPage();
    void buildMenu();
    void bindCommand(QAction* action, const char* name);
    void showPanels(std::initializer_list<QWidget*> show, std::initializer_list<QWidget*> hide);
    QWidget* seenScreen() const; // the highest visible panel of the stack
    void enableSeenScreenOnly();
    void loadSettings();
    void loadUserList();
    void showGrades();
    void showQuestion(const testing::ShownQuestion& question);
    void showAnswer(int place, const QString& text); // place 1 ... 5 (A ... E); an empty answer is hidden
    void showRightAnswers();
    void refuseSignIn(const std::string& refusal); // empty: the usual text
    QAction* action(const char* name) const;
    void navigate(const std::string& relativePath);
    void leaveRunIfLeft();
    void completeUserName(const QString& typed);
    void watchPickerKeys();

    // Screens, bottom to top.
    QWidget* Panel2 = nullptr; // progress
    QWidget* Panel3 = nullptr; // test
    QWidget* Panel1 = nullptr; // document viewer
    QWidget* Panel6 = nullptr; // text page
    QWidget* Panel7 = nullptr; // administrator settings
    QWidget* Panel4 = nullptr; // sign-in

    QWebEngineView* WebBrowser1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* MaskEdit1 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QTextEdit* Memo1 = nullptr; // the question, typeset
    QPlainTextEdit* Memo2 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* LabelCounter = nullptr; // "n из N" on the test screen
    QLabel* LabelLink = nullptr;    // the lost connection's notice on the test screen
    QLabel* Label39 = nullptr;      // the hint at the top of the test screen
    QLabel* LabelRight = nullptr;   // the right answers of the run just finished, on the progress screen
    std::array<QLabel*, 12> gradeLabels_{};
    std::array<QLabel*, 5> answerLetters_{}; // "A" ... "E" in front of the answers
    QuestionArea* questionArea_ = nullptr;   // the test screen's content, scrolled when too tall
    QPushButton* Button2 = nullptr;

    course::Course& course_;
    std::map<QAction*, std::function<void()>> commands_;
    std::vector<std::string> users_; // the items of ComboBox1 in the code page, in the same order

    TForm2* form2_ = nullptr;
    TOKRightDlg* about_ = nullptr;
    TOKRightDlg1* reportDialog_ = nullptr;
    TForm5* authors_ = nullptr;

    bool shown_ = false;
    bool closing_ = false;
    std::string signedInName_;
    bool saveAtClose_ = false;
    bool administrator_ = false;
    std::string adminLogin_, adminPassword_, journalName_;

    // The running test, as the course shows it.
    std::string currentTest_;
    int tag_ = 0; // current question number
    int right_ = 0;
    int questionCount_ = 0;
    int grade_ = 0;
    std::string clickedAnswer_;
    bool answerLogFailed_ = false; // the answer log's error is shown once per run
    bool runActive_ = false;
    // The screen whose leaving gives back N0 and Ni, which a run hides: the test screen while the
    // run goes on, the progress screen once it has ended; none when nothing is hidden.
    QWidget* runScreen_ = nullptr;
    int chosenUser_ = -1;         // the item of ComboBox1 last chosen
    bool pickerDeleting_ = false; // the key being handled in ComboBox1 deletes
    QUrl requestedUrl_;
};

} // namespace ortavia::ui
