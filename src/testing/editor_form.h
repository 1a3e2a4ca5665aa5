#pragma once
// The test editor (administrator, "Басқару" → "Редактор тестов"): opens a test of the course, a
// question source or nothing, lists the questions with a mark on those not complete, edits the
// chosen one (text, two to five answers, the right one) with a preview as the test screen shows
// it, keeps every change undoable, and saves as test N of the course or exports to a question
// source. A window of the main window, made on first use; closing it with unsaved changes asks.
#include <QFont>
#include <QString>
#include <QWidget>
#include <array>

#include "testing/editor.h"

class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTextEdit;

namespace ortavia::ui {

class TForm1;

class TestEditor : public QWidget {
    Q_OBJECT
public:
    explicit TestEditor(QWidget* mainWindow);
    ~TestEditor() override;

    static TestEditor* open(TForm1* mainWindow);

    // The window's commands; each does nothing unless the administrator is signed in.
    void ButtonOpenClick();   // test N of the course (SpinTest)
    void ButtonImportClick(); // a question source chosen in the open-file dialog
    void ButtonNewClick();    // an empty test
    void ButtonAddClick();
    void ButtonDuplicateClick();
    void ButtonDeleteClick();
    void ButtonUpClick();
    void ButtonDownClick();
    void ButtonFindClick(); // the next question holding the text of EditFind
    void ButtonSaveClick(); // as test N of the course
    void ButtonExportClick();
    void Undo();
    void Redo();

    const testing::editor::Document& document() const { return doc_; }
    int currentQuestion() const { return current_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool allowed() const;
    void guarded(void (TestEditor::*command)());
    void build();
    void buildShortcuts();
    void fitToScreen();
    bool mayDrop(const QString& what); // unsaved changes: asks whether they may be dropped
    void opened(std::vector<testing::editor::Question> questions, int test, const QString& name);
    void changed(const testing::editor::Change& change);
    void refillList();
    void showListItem(int i);
    void showQuestion(int i);
    void showChecks();
    void showState();
    void select(int i);
    void edited(int field, const QString& text);

    TForm1* main_ = nullptr;
    testing::editor::Document doc_;
    QString course_;       // the course folder, the current directory when the window was made
    int openedTest_ = 0;   // the test of the course that is open, 0 for a source or a new test
    QString openedName_;   // what is open, for the title
    bool filling_ = false; // the controls are being filled from the document
    int current_ = -1;
    QFont designFont_;    // the window's font at the design size
    bool fitted_ = false; // fitted to its screen once shown

    QSpinBox* SpinTest = nullptr;
    QPushButton* ButtonOpen = nullptr;
    QPushButton* ButtonImport = nullptr;
    QPushButton* ButtonNew = nullptr;
    QListWidget* ListQuestions = nullptr;
    QPushButton* ButtonAdd = nullptr;
    QPushButton* ButtonDuplicate = nullptr;
    QPushButton* ButtonDelete = nullptr;
    QPushButton* ButtonUp = nullptr;
    QPushButton* ButtonDown = nullptr;
    QLineEdit* EditFind = nullptr;
    QPushButton* ButtonFind = nullptr;
    QPlainTextEdit* MemoQuestion = nullptr;
    std::array<QRadioButton*, testing::editor::kAnswers> RadioRight{};
    std::array<QLineEdit*, testing::editor::kAnswers> EditAnswer{};
    QButtonGroup* rightGroup_ = nullptr;
    QLabel* LabelProblems = nullptr;
    QFrame* PanelPreview = nullptr;
    QTextEdit* PreviewQuestion = nullptr;
    std::array<QLabel*, testing::editor::kAnswers> PreviewLetter{};
    std::array<QTextEdit*, testing::editor::kAnswers> PreviewAnswer{};
    QPushButton* ButtonUndo = nullptr;
    QPushButton* ButtonRedo = nullptr;
    QPushButton* ButtonSave = nullptr;
    QComboBox* ComboFormat = nullptr;
    QPushButton* ButtonExport = nullptr;
    QPushButton* ButtonClose = nullptr;
    QLabel* LabelStatus = nullptr;
};

} // namespace ortavia::ui
