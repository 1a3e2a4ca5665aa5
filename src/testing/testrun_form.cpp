// The test run of the main window: starting a test, the answer step, grading, the journal line,
// unlocking the next topics and saving the grades.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>

#include "accounts/accounts.h"
#include "store/convert.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/textfile.h"
#include "testing/options.h"
#include "testing/testing.h"
#include "ui/announce.h"
#include "ui/answer_button.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/look.h"
#include "ui/question_area.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {

void TForm1::testClick(const QString& testName) {
    currentTest_ = testName.toStdString();
    Button2->click();
}

void TForm1::Button2Click() {
    // A test is taken by a signed-in person (a successful sign-in sets the save-at-close flag):
    // before it there is nobody to grade.
    if (!saveAtClose_)
        return;
    if (const std::optional<std::string> refusal = testing::testFileRefusal(currentTest_)) {
        dialogs::error(this, QString::fromStdString(*refusal));
        return;
    }
    // The run asks the test as it is now, read whole: a test installed meanwhile changes nothing of
    // it. A test that cannot be graded is not started.
    test_ = testing::TestSnapshot(currentTest_);
    questionCount_ = test_.questionCount();
    // The teacher's options; a bad options file is named and the run goes on with them off.
    testing::Options options;
    try {
        options = testing::readOptions();
    } catch (const Error& e) {
        dialogs::error(this, QString::fromStdString(e.what()) +
                                 QStringLiteral(" Тест идёт без параметров; сообщите администратору."));
    }
    shuffleAnswers_ = options.shuffleAnswers;
    asked_.clear();
    if (options.draw > 0) {
        asked_ = testing::drawnQuestions(test_, questionCount_, options.draw, testing::randomEngine());
        questionCount_ = static_cast<int>(asked_.size());
    }
    answerLogFailed_ = false;
    tag_ = 1;
    right_ = 0;
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, look::kSkyBlue);
    Memo1->setPalette(palette);
    showPanels({Panel3}, {Panel1, Panel2, Panel4, Panel6});
    action("N0")->setVisible(false);
    action("Ni")->setVisible(false);
    runActive_ = true;
    runScreen_ = Panel3;
    loadQuestion(1);
}

int TForm1::fileQuestion(int n) const {
    return asked_.empty() ? n : asked_[static_cast<std::size_t>(n - 1)];
}

void TForm1::showAnswer(int place, const QString& text) {
    auto* button = findComponentAs<AnswerButton>(this, QStringLiteral("RadioButton%1").arg(place));
    button->setText(text);
    // An answer the question lacks is stored empty: neither it nor its letter is shown.
    const bool shown = !text.trimmed().isEmpty();
    button->setVisible(shown);
    answerLetters_[static_cast<std::size_t>(place - 1)]->setVisible(shown);
}

void TForm1::loadQuestion(int n) {
    const int q = fileQuestion(n);
    const QString question = toQ(test_.question(q));
    answerPlaces_ = testing::answerOrder(shuffleAnswers_, testing::randomEngine());
    for (int k = 1; k <= 5; ++k) {
        const QString text = toQ(test_.answer(q, answerPlaces_[static_cast<std::size_t>(k - 1)]));
        // A shuffled answer's letter prefix would name the wrong place.
        showAnswer(k, shuffleAnswers_ ? testing::withoutLetterPrefix(text) : text);
    }
    // The question typeset, the answers' rows as high as their texts need; from the top.
    questionArea_->setQuestion(question);
    questionArea_->verticalScrollBar()->setValue(0);
    LabelCounter->setText(QStringLiteral("%1 из %2").arg(n).arg(questionCount_));
    // Each question starts unanswered, with the keyboard on its first answer.
    auto* first = findComponentAs<AnswerButton>(this, QStringLiteral("RadioButton1"));
    AnswerButton::clearMarks(first->parentWidget());
    for (int k = 1; k <= 5; ++k)
        if (auto* b = findComponentAs<AnswerButton>(this, QStringLiteral("RadioButton%1").arg(k));
            b->isVisibleTo(this) || k == 5) {
            b->setFocus(Qt::OtherFocusReason);
            break;
        }
    // The focus lands on an answer: a screen reader is told the question and the count as well.
    announce(this,
             QStringLiteral("Вопрос %1 из %2. %3").arg(n).arg(questionCount_).arg(Memo1->toPlainText()));
}

void TForm1::logAnswer(int question, int chosen, bool right) {
    try {
        textfile::appendLine(testing::kAnswerLog,
                             testing::answerLogLine(signedInName_, testing::journalTime(),
                                                    testing::journalDate(), currentTest_, question, chosen,
                                                    right));
    } catch (const Error& e) {
        // The log is the teacher's analysis; the test goes on without it.
        if (!answerLogFailed_)
            dialogs::error(this, QString::fromStdString(e.what()) +
                                     QStringLiteral(" Ответы этого теста не попадут в журнал ответов; тест "
                                                    "продолжается."));
        answerLogFailed_ = true;
    }
}

void TForm1::RadioButtonDblClick(int k) {
    clickedAnswer_ = "RadioButton" + std::to_string(k);
    RadioButton6DblClick();
}

void TForm1::RadioButton6DblClick() {
    if (!runActive_)
        return;
    // The place clicked names the answer of the file shown there.
    const int place = clickedAnswer_.empty() ? 0 : clickedAnswer_.back() - '0';
    const int answer = place >= 1 && place <= 5 ? answerPlaces_[static_cast<std::size_t>(place - 1)] : place;
    const std::string chosen = std::to_string(answer);
    const int question = fileQuestion(tag_);
    const bool right = test_.rightAnswer(question) == chosen;
    if (right)
        ++right_;
    logAnswer(question, answer, right);
    ++tag_;
    if (tag_ <= questionCount_) {
        loadQuestion(tag_);
        return;
    }
    // The run is over.
    runActive_ = false;
    percentage_ = 100.0 * right_ / questionCount_;
    grade_ = testing::gradeFor(right_, questionCount_);
    const int entry = testing::entryNumber(currentTest_);
    if (entry >= 1 && entry <= 12)
        grades_[entry - 1] = static_cast<std::uint8_t>(grade_);
    textfile::appendLine(journalName_, testing::journalLine(signedInName_, testing::journalTime(),
                                                            testing::journalDate(), currentTest_, grade_));
    // From here leaving the progress screen gives the menu entries back ("<<Назад" or any other
    // command); until here (a journal that cannot be written) leaving the test screen does.
    runScreen_ = Panel2;
    NiClick();
    showRightAnswers();
    announce(this, QStringLiteral("Тест окончен. Оценка: %1. %2").arg(grade_).arg(LabelRight->text()));
    for (int k = 1; k <= 12; ++k)
        if (grades_[k - 1] >= 3)
            enable("test" + std::to_string(k), true);
    saveGrades();
}

void TForm1::leaveRunIfLeft() {
    // Every screen switch comes here: a run ends when its test screen is hidden or another screen
    // lies in front of it, and the entries it hid come back once its screen (the test screen, or
    // the progress screen after the run's end) is no longer the one the user sees.
    if (!runScreen_ || seenScreen() == runScreen_)
        return;
    runActive_ = false;
    runScreen_ = nullptr;
    action("N0")->setVisible(true);
    action("Ni")->setVisible(true);
}

void TForm1::saveGrades() {
    // A student's record takes the student's own grades only, never those of another name that
    // the grade array may hold; the administrator's grade array goes under the administrator login.
    if (!administratorSignedIn() && gradesOwner_ != signedInName_)
        return;
    accounts::saveGrades(signedInName_, grades_);
}

void TForm1::FormClose() {
    if (saveAtClose_)
        saveGrades();
}

void TForm1::enable(const std::string& name, bool value) {
    const testing::UnlockRow* row = testing::unlockRowFor(name);
    if (!row)
        return;
    const int n = strToInt(row->row.front());
    for (int pos = 2; pos <= n && pos <= static_cast<int>(row->row.size()); ++pos)
        if (auto* a = findComponentAs<QAction>(this, QString::fromStdString(row->row[pos - 1])))
            setItemEnabled(a, value);
}

} // namespace ortavia::ui
