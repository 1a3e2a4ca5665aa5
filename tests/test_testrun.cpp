// Taking a test: the answer step, the grading scale, the grade array and its record, the journal
// line, the topics opened, the progress screen and the administrator's user picker.
#include <QDir>
#include <QTextEdit>
#include <QTimer>
#include <optional>

#include "accounts/accounts.h"
#include "store/codepage.h"
#include "store/store.h"
#include "support/harness.h"
#include "testing/notation.h"
#include "testing/testing.h"
#include "ui/answer_button.h"
#include "ui/formula.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kJournal = QStringLiteral("journal.txt");

QString gradeLabel(const Running& run, int test) {
    return run.control<QLabel>(qPrintable(QStringLiteral("Label%1").arg(17 + test)))->text();
}

// A course with its test folder and a registered, signed-in student.
struct Student {
    CourseFolder course;
    std::optional<Running> program; // ended early by tests that start the program again
    Running& run;
    explicit Student(const QString& name = QStringLiteral("Айгүл")) : run(start(name)) {}
    Running& start(const QString& name) {
        QDir().mkpath(course.file(QStringLiteral("data/tests")));
        program.emplace();
        program->registerUser(name, QStringLiteral("pw"));
        program->signIn(name, QStringLiteral("pw"));
        ui::dialogs::resetTestState();
        return *program;
    }
};

// Takes a test whose right answers are all 1, answering `right` of them rightly.
void takeTest(const Running& run, const char* test, int count, int right) {
    run.trigger(test);
    QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
    for (int q = 1; q <= count; ++q)
        run.answer(q <= right ? 1 : 2 + q % 4);
}

ui::AnswerButton* answerButton(const Running& run, int k) {
    return run.control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
}

// The answers that carry a mark.
QList<int> marked(const Running& run) {
    QList<int> list;
    for (int k = 1; k <= 6; ++k)
        if (answerButton(run, k)->isChecked())
            list << k;
    return list;
}

// A key press that the keyboard repeats while the key is held.
void pressHeld(QWidget* widget, Qt::Key key) {
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(widget, &repeat);
}

std::string storedValue(const char* user, const char* key) {
    return store::read(testsupport::cp(user), key, "\\users.ini");
}

} // namespace

class TestRunTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void gradingScaleOfFiveAndSevenQuestions() {
        Student s;
        const std::vector<std::pair<int, std::vector<int>>> scales = {
            {5, {1, 2, 3, 4, 5, 5}},       // right = 0 ... 5
            {7, {1, 1, 2, 3, 3, 4, 5, 5}}, // right = 0 ... 7
        };
        int runs = 0;
        for (const auto& [count, grades] : scales) {
            writeTest(QStringLiteral("test1"), std::vector<int>(count, 1));
            for (int right = 0; right <= count; ++right) {
                takeTest(s.run, "test1", count, right);
                const int grade = grades[right];
                ++runs;
                QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
                QCOMPARE(int(s.run.main()->grades()[0]), grade);
                QCOMPARE(gradeLabel(s.run, 1), QString::number(grade));
                QCOMPARE(storedValue("Айгүл", "test1"), std::to_string(grade));
                const QStringList lines = s.course.lines(kJournal);
                QCOMPARE(lines.size(), runs);
                QVERIFY2(lines.back().endsWith(QStringLiteral(" | test1 | %1").arg(grade)),
                         qPrintable(lines.back()));
                s.run.click("SpeedButton4");
            }
        }
        QCOMPARE(boxCount(), 0);
    }

    void answersCountOnlyOnADoubleClickOfTheRightButton() {
        Student s;
        writeTest(QStringLiteral("test1"), {3, 5, 2, 4, 1});
        s.run.trigger("test1");
        auto* memo = s.run.control<QTextEdit>("Memo1");
        QCOMPARE(memo->toPlainText(), QStringLiteral("Question 1"));
        QCOMPARE(memo->palette().color(QPalette::Base),
                 s.run.control<QWidget>("Panel3")->palette().color(QPalette::Window));
        QCOMPARE(s.run.control<ui::AnswerButton>("RadioButton3")->text(), QStringLiteral("C) answer 3 of 1"));
        // A single click only marks a button.
        auto* third = s.run.control<ui::AnswerButton>("RadioButton3");
        QTest::mouseClick(third, Qt::LeftButton, Qt::NoModifier, QPoint(20, third->height() / 2));
        QCOMPARE(s.run.main()->questionNumber(), 1);
        QCOMPARE(memo->toPlainText(), QStringLiteral("Question 1"));
        s.run.answer(3); // right
        QCOMPARE(s.run.main()->questionNumber(), 2);
        QCOMPARE(memo->toPlainText(), QStringLiteral("Question 2"));
        QCOMPARE(s.run.control<ui::AnswerButton>("RadioButton5")->text(), QStringLiteral("E) answer 5 of 2"));
        s.run.answer(5); // right
        s.run.answer(1);
        s.run.answer(1);
        s.run.answer(2); // 2 of 5: 40 %, grade 3
        QCOMPARE(int(s.run.main()->grades()[0]), 3);
        QVERIFY(!s.run.control<QWidget>("RadioButton6")->isVisibleTo(s.run.main()));
    }

    void wholeTestAnsweredFromTheKeyboard() {
        Student s;
        writeTest(QStringLiteral("test1"), {2, 1, 3, 5, 4});
        s.run.trigger("test1");
        QCOMPARE(s.run.control<QLabel>("Label42")->text(), QStringLiteral("Вопрос:"));
        auto* counter = s.run.control<QLabel>("LabelCounter");
        auto* memo = s.run.control<QTextEdit>("Memo1");
        // Per question: the arrow keys that lead to the answer from A, and the key that gives it.
        const struct {
            std::vector<Qt::Key> moves;
            Qt::Key answer;
        } steps[] = {
            {{Qt::Key_Down}, Qt::Key_Return},               // B, right
            {{}, Qt::Key_Space},                            // A, right
            {{Qt::Key_Right, Qt::Key_Down}, Qt::Key_Enter}, // C, right
            {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down},
             Qt::Key_Space}, // E, right
            {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Left},
             Qt::Key_Return},
            // C, wrong
        };
        int q = 0;
        for (const auto& step : steps) {
            ++q;
            QCOMPARE(s.run.main()->questionNumber(), q);
            QCOMPARE(memo->toPlainText(), QStringLiteral("Question %1").arg(q));
            QCOMPARE(counter->text(), QStringLiteral("%1 из 5").arg(q));
            QVERIFY(counter->isVisibleTo(s.run.main()));
            // Each question starts unanswered, with the keyboard on answer A.
            QCOMPARE(marked(s.run), QList<int>());
            QCOMPARE(s.run.focused(), answerButton(s.run, 1));
            for (const Qt::Key key : step.moves)
                s.run.press(key);
            QCOMPARE(s.run.main()->questionNumber(), q); // moving answers nothing
            QCOMPARE(marked(s.run), QList<int>());       // nor marks anything
            s.run.press(step.answer);
        }
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(int(s.run.main()->grades()[0]), 5); // 4 of 5
        QCOMPARE(s.run.control<QLabel>("LabelRight")->text(), QStringLiteral("Правильных ответов: 4 из 5"));
        QVERIFY(s.run.control<QLabel>("LabelRight")->isVisibleTo(s.run.main()));
        QCOMPARE(s.course.lines(kJournal).size(), 1);
        // Back to the documents with the keyboard as well.
        QCOMPARE(s.run.focused(), s.run.control<QWidget>("SpeedButton4"));
        s.run.press(Qt::Key_Space);
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel1"));
    }

    void onlyAFirstKeyPressOrADoubleClickAnswers() {
        Student s;
        writeTest(QStringLiteral("test1"), {3, 3, 3});
        s.run.trigger("test1");
        // A held key answers once: its repeats do nothing.
        s.run.press(Qt::Key_Return);
        QCOMPARE(s.run.main()->questionNumber(), 2);
        pressHeld(s.run.focused(), Qt::Key_Return);
        pressHeld(s.run.focused(), Qt::Key_Space);
        QCOMPARE(s.run.main()->questionNumber(), 2);
        // Keys with a modifier and keys of other kinds answer nothing.
        s.run.press(Qt::Key_Return, Qt::ControlModifier);
        s.run.press(Qt::Key_A);
        QCOMPARE(s.run.main()->questionNumber(), 2);
        // A single click marks; the arrow keys carry the mark along, as in any group of choices.
        auto* third = answerButton(s.run, 3);
        QTest::mouseClick(third, Qt::LeftButton, Qt::NoModifier, QPoint(20, third->height() / 2));
        QCOMPARE(marked(s.run), QList<int>{3});
        third->setFocus();
        s.run.press(Qt::Key_Down);
        QCOMPARE(marked(s.run), QList<int>{4});
        QCOMPARE(s.run.focused(), answerButton(s.run, 4));
        s.run.press(Qt::Key_Up);
        QCOMPARE(marked(s.run), QList<int>{3});
        QCOMPARE(s.run.main()->questionNumber(), 2);
        // The answer by key, then by double click: the mark never passes on to the next question.
        s.run.press(Qt::Key_Space);
        QCOMPARE(s.run.main()->questionNumber(), 3);
        QCOMPARE(marked(s.run), QList<int>());
        QCOMPARE(s.run.focused(), answerButton(s.run, 1));
        s.run.answer(3);
        QCOMPARE(int(s.run.main()->grades()[0]), 4); // 2 of 3: the first key answered A
        QCOMPARE(s.run.control<QLabel>("LabelRight")->text(), QStringLiteral("Правильных ответов: 2 из 3"));
    }

    void rightAnswersShowOnlyAfterARun() {
        Student s;
        writeTest(QStringLiteral("test1"), std::vector<int>(7, 1));
        auto* right = s.run.control<QLabel>("LabelRight");
        s.run.trigger("Ni"); // from the menu: the grades alone
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
        QVERIFY(!right->isVisibleTo(s.run.main()));
        s.run.click("SpeedButton4");
        takeTest(s.run, "test1", 7, 5);
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
        QVERIFY(right->isVisibleTo(s.run.main()));
        QCOMPARE(right->text(), QStringLiteral("Правильных ответов: 5 из 7"));
        QCOMPARE(gradeLabel(s.run, 1), QStringLiteral("4")); // the grade labels as they were
        // Read whole on the screen, and beside the grades rather than over them.
        QVERIFY(s.run.control<QWidget>("Panel2")->rect().contains(right->geometry()));
        QVERIFY(right->width() >= right->sizeHint().width());
        QVERIFY(!right->geometry().intersects(s.run.control<QLabel>("Label35")->geometry()));
        QVERIFY(!right->geometry().intersects(s.run.control<QWidget>("SpeedButton4")->geometry()));
        QVERIFY(right->x() > s.run.control<QLabel>("Label18")->geometry().right());
        s.run.click("SpeedButton4");
        s.run.trigger("Ni");
        QVERIFY(!right->isVisibleTo(s.run.main()));
        // A run that ends at a journal that cannot be written shows no progress screen and no count.
        s.run.click("SpeedButton4");
        QVERIFY(QFile::remove(s.course.file(kJournal)));
        QVERIFY(QDir().mkpath(s.course.file(kJournal))); // a folder in the journal's place
        takeTest(s.run, "test1", 7, 7);
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel3"));
        QVERIFY(!right->isVisibleTo(s.run.main()));
    }

    void runsAreIndependentAndRetakesReplaceTheGrade() {
        Student s;
        writeTest(QStringLiteral("test1"), {1, 1, 1, 1, 1});
        writeTest(QStringLiteral("test2"), {1, 1, 1, 1, 1});
        QVERIFY(!s.run.enabled("test2"));
        takeTest(s.run, "test1", 5, 5);
        QCOMPARE(int(s.run.main()->grades()[0]), 5);
        QVERIFY(s.run.enabled("N2") && s.run.enabled("test2"));
        QVERIFY(!s.run.enabled("N3"));
        takeTest(s.run, "test2", 5, 0); // the count starts again at zero
        QCOMPARE(int(s.run.main()->grades()[1]), 1);
        QCOMPARE(int(s.run.main()->grades()[0]), 5);
        QVERIFY(!s.run.enabled("N3"));

        // A failed retake stores the lower grade; the topic it opened stays open for this run.
        takeTest(s.run, "test1", 5, 1);
        QCOMPARE(int(s.run.main()->grades()[0]), 2);
        QCOMPARE(storedValue("Айгүл", "test1"), std::string("2"));
        QVERIFY(s.run.enabled("N2") && s.run.enabled("test2"));
        QCOMPARE(s.course.lines(kJournal).size(), 3);
        // The same grade again is journalled again.
        takeTest(s.run, "test1", 5, 1);
        QCOMPARE(s.course.lines(kJournal).size(), 4);

        // The next sign-in locks it.
        s.program.reset();
        Running again;
        again.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        QVERIFY(!again.enabled("N2") && !again.enabled("test2"));
        QCOMPARE(int(again.main()->grades()[1]), 1);
    }

    void testTenIsTheTenthEntry() {
        CourseFolder course;
        QDir().mkpath(course.file(QStringLiteral("data/tests")));
        {
            Running first;
            first.registerUser(QStringLiteral("u"), QStringLiteral("pw"));
        }
        std::array<std::uint8_t, 12> passed{};
        passed[8] = 4; // test 9 passed opens topic 10
        accounts::saveGrades("u", passed);
        Running run;
        run.signIn(QStringLiteral("u"), QStringLiteral("pw"));
        QVERIFY(run.enabled("test10"));
        writeTest(QStringLiteral("test10"), {2, 2, 2});
        run.trigger("test10");
        run.answer(2);
        run.answer(2);
        run.answer(1); // 2 of 3: 66.7 %, grade 4
        QCOMPARE(int(run.main()->grades()[9]), 4);
        QCOMPARE(int(run.main()->grades()[0]), 0);
        QCOMPARE(gradeLabel(run, 10), QStringLiteral("4"));
        QCOMPARE(store::read("u", "test10", "\\users.ini"), std::string("4"));
        QCOMPARE(store::read("u", "test1", "\\users.ini"), std::string("0"));
        QVERIFY(course.lines(kJournal).back().endsWith(QStringLiteral("| test10 | 4")));
    }

    void journalLineHasTheSystemsTimeAndDate() {
        Student s(QStringLiteral("Қанат Әлиев"));
        QVERIFY(!s.course.exists(kJournal)); // created by the first finished run
        writeTest(QStringLiteral("test1"), {1});
        const QString dateBefore = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        takeTest(s.run, "test1", 1, 1);
        const QByteArray bytes = s.course.read(kJournal);
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 1);
        const QStringList fields = s.course.lines(kJournal).front().split(QStringLiteral(" | "));
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields[0], QStringLiteral("Қанат Әлиев"));
        QString timeFormat = QLocale::system().timeFormat(QLocale::LongFormat);
        timeFormat.remove(QLatin1Char('t'));
        const QTime time = QLocale::system().toTime(fields[1], timeFormat.trimmed());
        QVERIFY2(time.isValid(), qPrintable(fields[1]));
        QVERIFY(qAbs(time.secsTo(QTime::currentTime())) < 60);
        QVERIFY(!fields[1].endsWith(QLatin1Char(' ')));
        QVERIFY(fields[2] == dateBefore ||
                fields[2] == QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
        QCOMPARE(fields[3], QStringLiteral("test1"));
        QCOMPARE(fields[4], QStringLiteral("5"));
    }

    void journalFailureKeepsTheGradeForTheClose() {
        CourseFolder course;
        QDir().mkpath(course.file(QStringLiteral("data/tests")));
        course.write(QStringLiteral("data/info/tumb.db"), "admin|admin|no such folder/journal.txt\r\n");
        Running run;
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        ui::dialogs::resetTestState();
        writeTest(QStringLiteral("test1"), {1, 1, 1});
        const QByteArray record = course.read(QStringLiteral("users.ini"));
        takeTest(run, "test1", 3, 3);
        QCOMPARE(boxCount(), 1);
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
        QVERIFY2(lastBoxText().contains(QStringLiteral("no such folder/journal.txt")),
                 qPrintable(lastBoxText()));
        QCOMPARE(int(run.main()->grades()[0]), 5);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3")); // the progress screen is not shown
        QVERIFY(!run.enabled("test2"));
        QCOMPARE(course.read(QStringLiteral("users.ini")), record);
        // Leaving the test screen gives the menu entries back, as leaving any run does.
        QVERIFY(!run.action("N0")->isVisible() && !run.action("Ni")->isVisible());
        run.trigger("N111");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(run.action("N0")->isVisible() && run.action("Ni")->isVisible());
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.main()->close();
        QCOMPARE(storedValue("Айгүл", "test1"), std::string("5"));
    }

    void progressScreenAfterARunGivesTheMenusBackWhenLeft() {
        Student s;
        writeTest(QStringLiteral("test1"), {4, 4, 4, 4, 4});
        s.run.trigger("test1");
        QVERIFY(!s.run.action("N0")->isVisible() && !s.run.action("Ni")->isVisible());
        for (int q = 1; q <= 5; ++q)
            s.run.answer(q == 5 ? 1 : 4); // 4 of 5: 80 %
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(s.run.control<QLabel>("Label5")->text(), QStringLiteral("Айгүл"));
        QVERIFY(s.run.control<QComboBox>("ComboBox1")->isHidden());
        QVERIFY(s.run.control<QLabel>("Label4")->isVisibleTo(s.run.main()));
        // The prompt ends before the name and the picker, whatever the font's width.
        const QRect prompt = s.run.control<QLabel>("Label4")->geometry();
        QVERIFY(prompt.right() < s.run.control<QLabel>("Label5")->x());
        QVERIFY(prompt.right() < s.run.control<QComboBox>("ComboBox1")->x());
        QVERIFY(
            s.run.control<QWidget>("Panel2")->rect().contains(s.run.control<QLabel>("Label35")->geometry()));
        QCOMPARE(gradeLabel(s.run, 1), QStringLiteral("5"));
        for (int k = 2; k <= 10; ++k)
            QCOMPARE(gradeLabel(s.run, k), QStringLiteral("0"));
        for (const char* hidden : {"Label16", "Label17", "Label28", "Label29"})
            QVERIFY2(!s.run.control<QLabel>(hidden)->isVisibleTo(s.run.main()), hidden);
        QVERIFY(!s.run.action("N0")->isVisible() && !s.run.action("Ni")->isVisible());
        s.run.trigger("Ni"); // hidden, yet enabled: the same screen
        QVERIFY(!s.run.action("N0")->isVisible() && !s.run.action("Ni")->isVisible());
        s.run.click("SpeedButton4");
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(s.run.action("N0")->isVisible() && s.run.action("Ni")->isVisible());
        // Leaving the progress screen by any other command gives them back as well.
        for (const char* leave : {"N111", "N27", "N17"}) {
            takeTest(s.run, "test1", 5, 5);
            QVERIFY2(!s.run.action("N0")->isVisible() && !s.run.action("Ni")->isVisible(), leave);
            s.run.trigger(leave);
            QVERIFY2(s.run.visibleScreen() == QStringLiteral("Panel1"), leave);
            QVERIFY2(s.run.action("N0")->isVisible() && s.run.action("Ni")->isVisible(), leave);
            QVERIFY2(!s.run.action("NaFormuAvtorizazii")->isVisible() && !s.run.action("Ntun")->isVisible(),
                     leave);
        }
    }

    void missingTestFileIsRefused() {
        Student s;
        QVERIFY(QFile::remove(s.course.file(QStringLiteral("data/tests/test1.ini"))));
        s.run.trigger("test1");
        QCOMPARE(boxCount(), 1);
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
        QVERIFY2(lastBoxText().contains(QStringLiteral("test1.ini")), qPrintable(lastBoxText()));
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(s.run.action("N0")->isVisible() && s.run.action("Ni")->isVisible());
        QVERIFY(!s.run.main()->runActive());
        QVERIFY(!s.course.exists(kJournal));
    }

    void unreadableTestFileIsRefused() {
        Student s;
        const QString file = s.course.file(QStringLiteral("data/tests/test1.ini"));
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file)); // a folder in the file's place
        s.run.trigger("test1");
        QCOMPARE(boxCount(), 1);
        QVERIFY2(lastBoxText().contains(QStringLiteral("test1.ini")) &&
                     lastBoxText().contains(QStringLiteral("не читается")),
                 qPrintable(lastBoxText()));
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(!s.run.main()->runActive());
    }

    void unsoundQuestionCountNeverGrades() {
        Student s;
        const QByteArray record = s.course.read(QStringLiteral("users.ini"));
        for (const char* count : {"0", "-3", "abc", "2.5"}) {
            ui::dialogs::resetTestState();
            writeTest(QStringLiteral("test1"), {1, 1}, count);
            s.run.trigger("test1");
            QCOMPARE(boxCount(), 1);
            QVERIFY2(!lastBoxText().isEmpty(), count);
            QVERIFY2(s.run.visibleScreen() == QStringLiteral("Panel1"), count);
            QVERIFY(!s.run.main()->runActive());
        }
        QVERIFY(!s.course.exists(kJournal));
        QCOMPARE(s.course.read(QStringLiteral("users.ini")), record);
    }

    // A test installed during a run (shorter, as long with other right answers, with a count that
    // cannot be graded, or with questions drawn) changes nothing of it: the run asks and grades the
    // test it started with.
    void installingDuringARunChangesNothingOfIt_data() {
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<QList<int>>("installed");
        QTest::addColumn<QByteArray>("count");
        QTest::newRow("shorter") << QByteArray() << QList<int>{2, 2} << QByteArray();
        QTest::newRow("same length") << QByteArray() << QList<int>{2, 2, 2, 2, 2, 2} << QByteArray();
        QTest::newRow("unsound count") << QByteArray() << QList<int>{1, 1} << QByteArray("0");
        QTest::newRow("drawn") << QByteArray("draw=4\r\n") << QList<int>{2} << QByteArray();
    }
    void installingDuringARunChangesNothingOfIt() {
        QFETCH(QByteArray, options);
        QFETCH(QList<int>, installed);
        QFETCH(QByteArray, count);
        Student s;
        s.course.write(QStringLiteral("data/info/options.ini"), options);
        writeTest(QStringLiteral("test1"), {1, 1, 1, 1, 1, 1});
        const int asked = options.isEmpty() ? 6 : 4;
        s.run.trigger("test1");
        s.run.answer(1);
        writeTest(QStringLiteral("test1"), std::vector<int>(installed.begin(), installed.end()),
                  count.toStdString());
        for (int q = 2; q <= asked; ++q) {
            QCOMPARE(s.run.control<QLabel>("LabelCounter")->text(),
                     QStringLiteral("%1 из %2").arg(q).arg(asked));
            QVERIFY(s.run.control<QTextEdit>("Memo1")->toPlainText().startsWith(QStringLiteral("Question ")));
            s.run.answer(1);
        }
        QCOMPARE(boxCount(), 0);
        QCOMPARE(s.run.control<QLabel>("LabelRight")->text(),
                 QStringLiteral("Правильных ответов: %1 из %1").arg(asked));
        QVERIFY(s.course.lines(kJournal).join('\n').endsWith(QStringLiteral(" | test1 | 5")));
        // The answer log counts each answer as the file the run started with says.
        QCOMPARE(s.course.lines(QStringLiteral("answers.log")).filter(QStringLiteral(" | 1 | 1")).size(),
                 asked);
    }

    void leavingTheTestScreenAbandonsTheRun() {
        Student s;
        writeTest(QStringLiteral("test1"), {1, 1, 1});
        for (const char* leave : {"N111", "N11", "N17"}) {
            s.run.trigger("test1");
            s.run.answer(1);
            s.run.answer(1);
            s.run.trigger(leave);
            QVERIFY2(s.run.visibleScreen() != QStringLiteral("Panel3"), leave);
            QVERIFY2(s.run.action("N0")->isVisible() && s.run.action("Ni")->isVisible(), leave);
            QVERIFY(!s.run.main()->runActive());
            s.run.main()->RadioButtonDblClick(1); // an answer after leaving counts for nothing
            QCOMPARE(int(s.run.main()->grades()[0]), 1);
        }
        QVERIFY(!s.course.exists(kJournal));
        // The author window and a cancelled exit leave the test screen where it is: the run goes on.
        s.run.trigger("test1");
        s.run.trigger("N15");
        ui::dialogs::answerNextBox(ui::Answer::Cancel);
        s.run.trigger("Ne");
        QVERIFY(s.run.main()->isVisible());
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel3"));
        QVERIFY(s.run.main()->runActive());
        for (int q = 1; q <= 3; ++q)
            s.run.answer(1);
        QCOMPARE(int(s.run.main()->grades()[0]), 5);
        QCOMPARE(s.course.lines(kJournal).size(), 1);
    }

    void settingsScreenAbandonsARun() {
        CourseFolder course;
        QDir().mkpath(course.file(QStringLiteral("data/tests")));
        writeTest(QStringLiteral("test3"), {2, 2});
        Running admin;
        admin.signInAdmin();
        admin.trigger("test3");
        admin.answer(2);
        admin.trigger("Ntun");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel7"));
        QVERIFY(!admin.control<QWidget>("Panel3")->isVisibleTo(admin.main()));
        QVERIFY(!admin.main()->runActive());
        QVERIFY(admin.action("N0")->isVisible() && admin.action("Ni")->isVisible());
        admin.click("SpeedButton6"); // back from the settings goes to the viewer
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel1"));
        QCOMPARE(int(admin.main()->grades()[2]), 0);
    }

    void administratorChoosesStudentsByTyping() {
        CourseFolder course;
        {
            Running reg;
            for (const char* name : {"Айгүл", "Асқар", "Әлия"})
                reg.registerUser(QString::fromUtf8(name), QStringLiteral("pw"));
        }
        std::array<std::uint8_t, 12> a{}, b{}, c{};
        a[2] = 4;
        b[0] = 5;
        b[9] = 3;
        c[4] = 2;
        accounts::saveGrades(testsupport::cp("Айгүл"), a);
        accounts::saveGrades(testsupport::cp("Асқар"), b);
        accounts::saveGrades(testsupport::cp("Әлия"), c);
        Running admin;
        admin.signInAdmin();
        admin.trigger("Ni");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel2"));
        auto* combo = admin.control<QComboBox>("ComboBox1");
        QVERIFY(combo->isVisibleTo(admin.main()));
        QCOMPARE(combo->count(), 3);
        for (int k = 1; k <= 10; ++k)
            QCOMPARE(gradeLabel(admin, k), QStringLiteral("0"));

        QLineEdit* edit = combo->lineEdit();
        QCOMPARE(edit->text(), QString()); // nobody is chosen before the administrator chooses
        QCOMPARE(combo->currentIndex(), -1);
        edit->setFocus();
        typeKeys(edit, QStringLiteral("а")); // small letter: the first listed name
        QCOMPARE(edit->text(), QStringLiteral("Айгүл"));
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        typeKeys(edit, QStringLiteral("С"));
        QCOMPARE(edit->text(), QStringLiteral("Асқар"));
        QCOMPARE(gradeLabel(admin, 1), QStringLiteral("5"));
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("0"));
        QCOMPARE(gradeLabel(admin, 10), QStringLiteral("3"));
        QCOMPARE(int(admin.main()->grades()[9]), 3);
        // Typing over a selection completes; the next letter of the completion, in its own
        // spelling, keeps it.
        edit->selectAll();
        typeKeys(edit, QStringLiteral("А"));
        QCOMPARE(edit->text(), QStringLiteral("Айгүл"));
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        typeKeys(edit, QStringLiteral("й"));
        QCOMPARE(edit->text(), QStringLiteral("Айгүл"));
        QCOMPARE(edit->selectedText(), QStringLiteral("гүл"));
        // A name that matches nothing chooses nothing.
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("xyz"));
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        // Kazakh letters fold too.
        edit->selectAll();
        typeKeys(edit, QStringLiteral("ә"));
        QCOMPARE(edit->text(), QStringLiteral("Әлия"));
        QCOMPARE(gradeLabel(admin, 5), QStringLiteral("2"));
        QCOMPARE(gradeLabel(admin, 1), QStringLiteral("0"));
        // Deleting what the completion added does not choose again.
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("Ә"));
        QCOMPARE(gradeLabel(admin, 5), QStringLiteral("2"));
        // Picking from the list works as well, and Ni shows the chosen student's grades again.
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        admin.click("SpeedButton4");
        admin.trigger("Ni");
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        QCOMPARE(admin.control<QLabel>("Label5")->text(), QStringLiteral("admin"));
        QCOMPARE(boxCount(), 0);
        // The administrator's own run shows its count of right answers until a student is chosen.
        admin.click("SpeedButton4");
        writeTest(QStringLiteral("test1"), {1});
        admin.trigger("test1");
        admin.answer(1);
        auto* right = admin.control<QLabel>("LabelRight");
        QCOMPARE(right->text(), QStringLiteral("Правильных ответов: 1 из 1"));
        QVERIFY(right->isVisibleTo(admin.main()));
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(gradeLabel(admin, 1), QStringLiteral("0"));
        QVERIFY(!right->isVisibleTo(admin.main()));
        // The progress command hides the text page.
        course.write(kJournal, "x\r\n");
        admin.trigger("N30");
        admin.trigger("Ni");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel2"));
    }

    void storedValuesAsTheStoreReturnsThem() {
        CourseFolder course;
        {
            Running reg;
            reg.registerUser(QStringLiteral("u"), QStringLiteral("pw"));
            reg.registerUser(QStringLiteral("v"), QStringLiteral("pw"));
        }
        store::write("u", "test3", "260", "\\users.ini");
        store::write("u", "test4", "-1", "\\users.ini");
        store::write("u", "test7", "3", "\\users.ini");
        store::write("v", "test3", "2", "\\users.ini");
        store::write("v", "test1", "5", "\\users.ini");
        store::write("v", "test7", "abc", "\\users.ini");
        Running admin;
        admin.signInAdmin();
        admin.trigger("Ni");
        auto* combo = admin.control<QComboBox>("ComboBox1");
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        QCOMPARE(gradeLabel(admin, 4), QStringLiteral("255"));
        QCOMPARE(boxCount(), 0);
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QCOMPARE(lastBoxText(), QStringLiteral("'abc' is not a valid integer value"));
        QCOMPARE(int(admin.main()->grades()[0]), 5);         // converted before the error
        QCOMPARE(int(admin.main()->grades()[2]), 2);         // v's
        QCOMPARE(int(admin.main()->grades()[3]), 0);         // v's
        QCOMPARE(int(admin.main()->grades()[6]), 3);         // still u's: not reached
        QCOMPARE(gradeLabel(admin, 1), QStringLiteral("1")); // labels unchanged: u's
        QCOMPARE(gradeLabel(admin, 3), QStringLiteral("4"));
        QCOMPARE(gradeLabel(admin, 4), QStringLiteral("255"));
    }

    void wholeSessionOnTheSampleCourse() {
        CourseFolder course(Contents::Everything);
        const QByteArray tumb = course.read(QStringLiteral("data/info/tumb.db"));
        Running run;
        run.registerUser(QStringLiteral("Нұрлан Сейітов"), QStringLiteral("physics"));
        run.signIn(QStringLiteral("Нұрлан Сейітов"), QStringLiteral("physics"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(run.enabled("test1") && !run.enabled("N2"));
        run.trigger("n1");
        run.trigger("test1");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
        const int count = testing::questionCount("test1");
        QVERIFY(count >= 5);
        for (int q = 1; q <= count; ++q) {
            QCOMPARE(run.main()->questionNumber(), q);
            // The question as typeset (formulas and figures of the notation).
            QTextDocument shown;
            shown.setHtml(testing::notation::toRichText(
                QString::fromStdString(cp::toUtf8(testing::question("test1", q))),
                ui::formula::courseFigures()));
            QCOMPARE(run.control<QTextEdit>("Memo1")->toPlainText(), shown.toPlainText());
            run.answer(std::stoi(testing::rightAnswer("test1", q)));
        }
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(gradeLabel(run, 1), QStringLiteral("5"));
        QVERIFY(run.enabled("N2") && run.enabled("test2"));
        const QStringList lines = course.lines(kJournal);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].startsWith(QStringLiteral("Нұрлан Сейітов | ")));
        QVERIFY(lines[0].endsWith(QStringLiteral(" | test1 | 5")));
        QCOMPARE(store::read(testsupport::cp("Нұрлан Сейітов"), "test1", "\\users.ini"), std::string("5"));
        QCOMPARE(store::read(testsupport::cp("Нұрлан Сейітов"), "password", "\\users.ini"),
                 std::string("physics"));
        run.click("SpeedButton4");
        run.trigger("N2");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.main()->close();
        QVERIFY(!run.main()->isVisible());
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Warning);
        QCOMPARE(store::read(testsupport::cp("Нұрлан Сейітов"), "test1", "\\users.ini"), std::string("5"));
        QCOMPARE(course.read(QStringLiteral("data/info/tumb.db")), tumb);
        // The next start finds topic 2 open.
        Running next;
        next.signIn(QStringLiteral("Нұрлан Сейітов"), QStringLiteral("physics"));
        QVERIFY(next.enabled("N2") && next.enabled("test2") && !next.enabled("N3"));
    }
};

ORTAVIA_TEST_MAIN(TestRunTest)
#include "test_testrun.moc"
