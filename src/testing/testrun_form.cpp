// The test run of the main window: starting a test, the answer step, grading, the journal line,
// unlocking the next topics and saving the grades.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>

#include "course/course.h"
#include "store/convert.h"
#include "store/error.h"
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
    // The run asks the test as it is now, read whole: a test installed meanwhile changes nothing of
    // it. A test that cannot be graded is not started.
    const testing::ShownQuestion first = course_.startRun(currentTest_);
    // A bad options file is named and the run goes on with the options off.
    if (const std::string problem = course_.optionsProblem(); !problem.empty())
        dialogs::error(this, QString::fromStdString(problem) +
                                 QStringLiteral(" Тест идёт без параметров; сообщите администратору."));
    questionCount_ = first.count;
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
    showQuestion(first);
}

void TForm1::showAnswer(int place, const QString& text) {
    auto* button = findComponentAs<AnswerButton>(this, QStringLiteral("RadioButton%1").arg(place));
    button->setText(text);
    // An answer the question lacks is stored empty: neither it nor its letter is shown.
    const bool shown = !text.trimmed().isEmpty();
    button->setVisible(shown);
    answerLetters_[static_cast<std::size_t>(place - 1)]->setVisible(shown);
}

void TForm1::showQuestion(const testing::ShownQuestion& q) {
    for (int k = 1; k <= 5; ++k)
        showAnswer(k, toQ(q.answers[static_cast<std::size_t>(k - 1)]));
    // The question typeset, the answers' rows as high as their texts need; from the top.
    questionArea_->setQuestion(toQ(q.text));
    questionArea_->verticalScrollBar()->setValue(0);
    LabelCounter->setText(QStringLiteral("%1 из %2").arg(q.number).arg(q.count));
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
             QStringLiteral("Вопрос %1 из %2. %3").arg(q.number).arg(q.count).arg(Memo1->toPlainText()));
}

void TForm1::RadioButtonDblClick(int k) {
    clickedAnswer_ = "RadioButton" + std::to_string(k);
    RadioButton6DblClick();
}

void TForm1::RadioButton6DblClick() {
    if (!runActive_)
        return;
    // The place clicked (A ... E); the course knows which answer of the file it shows.
    const int place = clickedAnswer_.empty() ? 0 : clickedAnswer_.back() - '0';
    course::Step step;
    try {
        step = course_.answer(tag_, place);
    } catch (const Error&) {
        // The last answer taken, its end not written (the journal): the run is over all the same.
        if (tag_ == questionCount_) {
            ++tag_;
            runActive_ = false;
        }
        throw;
    }
    if (!step.answerLogProblem.empty() && !answerLogFailed_) {
        // The log is the teacher's analysis; the test goes on without it, told once.
        answerLogFailed_ = true;
        dialogs::error(this, QString::fromStdString(step.answerLogProblem) +
                                 QStringLiteral(" Ответы этого теста не попадут в журнал ответов; тест "
                                                "продолжается."));
    }
    if (step.next) {
        tag_ = step.next->number;
        showQuestion(*step.next);
        return;
    }
    // The run is over.
    runActive_ = false;
    tag_ = step.end->count + 1;
    right_ = step.end->right;
    questionCount_ = step.end->count;
    grade_ = step.end->grade;
    // From here leaving the progress screen gives the menu entries back ("<<Назад" or any other
    // command); until here (a journal that cannot be written) leaving the test screen does.
    runScreen_ = Panel2;
    NiClick();
    showRightAnswers();
    announce(this, QStringLiteral("Тест окончен. Оценка: %1. %2").arg(grade_).arg(LabelRight->text()));
    const course::Grades grades = course_.grades();
    for (int k = 1; k <= 12; ++k)
        if (grades[static_cast<std::size_t>(k - 1)] >= 3)
            enable("test" + std::to_string(k), true);
    if (!step.recordProblem.empty())
        throw Error(step.recordProblem);
}

void TForm1::leaveRunIfLeft() {
    // Every screen switch comes here: a run ends when its test screen is hidden or another screen
    // lies in front of it, and the entries it hid come back once its screen (the test screen, or
    // the progress screen after the run's end) is no longer the one the user sees.
    if (!runScreen_ || seenScreen() == runScreen_)
        return;
    const bool abandoned = runActive_;
    runActive_ = false;
    runScreen_ = nullptr;
    action("N0")->setVisible(true);
    action("Ni")->setVisible(true);
    if (abandoned)
        course_.abandonRun();
}

void TForm1::FormClose() {
    if (saveAtClose_)
        course_.signOut();
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
