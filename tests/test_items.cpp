// The teacher's options of the tests and the item analysis: the answer log of a run, shuffled
// answers and questions drawn at random, the options window, "ortavia-tests items" and the item
// table of the statistics window.
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <set>

#include "reports/item_analysis.h"
#include "reports/statistics_form.h"
#include "store/error.h"
#include "store/store.h"
#include "support/harness.h"
#include "testing/options.h"
#include "testing/options_form.h"
#include "testing/testing.h"
#include "ui/answer_button.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kLog = QStringLiteral("answers.log");
const QString kOptions = QStringLiteral("data/info/options.ini");

struct Student {
    CourseFolder course;
    Running run;
    Student() {
        QDir().mkpath(course.file(QStringLiteral("data/tests")));
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        ui::dialogs::resetTestState();
    }
};

ui::AnswerButton* answerButton(const Running& run, int k) {
    return run.control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
}

int shownQuestion(const Running& run) {
    return run.control<QTextEdit>("Memo1")->toPlainText().mid(9).toInt(); // "Question n"
}

// The place A ... E (1 ... 5) that shows answer `answer` of the file for the question on screen.
int placeOf(const Running& run, int answer) {
    const QString text = QStringLiteral("answer %1 of %2").arg(answer).arg(shownQuestion(run));
    for (int k = 1; k <= 5; ++k)
        if (answerButton(run, k)->text().endsWith(text))
            return k;
    return 0;
}

// The log's lines split into their seven fields.
QList<QStringList> logFields(const CourseFolder& course) {
    QList<QStringList> rows;
    for (const QString& line : course.lines(kLog))
        rows << line.split(QStringLiteral(" | "));
    return rows;
}

QStringList tail(const QStringList& fields) {
    return fields.mid(3);
}

// The hand-made log of the item figures: test1 in four runs (two students interleaved, a student
// taking it twice), test2 in ten runs written by pattern, and one broken line.
QByteArray handMadeLog() {
    QByteArray log;
    const auto line = [&log](const char* name, const char* test, int q, int chosen, int right) {
        log += QByteArray::fromStdString(testsupport::cp(name)) + " | 10:00:00 | 08.12.2026 | " + test +
               " | " + QByteArray::number(q) + " | " + QByteArray::number(chosen) + " | " +
               QByteArray::number(right) + "\r\n";
    };
    line("Аня", "test1", 1, 2, 1);
    line("Боря", "test1", 1, 2, 1);
    line("Аня", "test1", 2, 3, 1);
    line("Боря", "test1", 2, 1, 0);
    line("Аня", "test1", 3, 5, 0);
    line("Боря", "test1", 3, 2, 0);
    line("Вика", "test1", 1, 4, 0);
    line("Вика", "test1", 2, 1, 0);
    line("Вика", "test1", 3, 1, 1);
    line("Аня", "test1", 1, 5, 0); // back to the first question: a new run
    line("Аня", "test1", 2, 4, 0);
    line("Аня", "test1", 3, 1, 1);
    log += "broken line\r\n";
    for (int i = 0; i < 10; ++i) {
        const std::string name = "s" + std::to_string(i);
        line(name.c_str(), "test2", 1, 3, 1);
        line(name.c_str(), "test2", 2, i == 0 ? 2 : 5, i == 0);
        line(name.c_str(), "test2", 3, i < 5 ? 4 : 1, i < 5);
    }
    return log;
}

} // namespace

class ItemsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void answerLogOfWholeAndAbandonedRuns() {
        Student s;
        writeTest(QStringLiteral("test1"), {3, 5, 2});
        s.run.trigger("test1");
        s.run.answer(3); // right
        s.run.answer(1); // wrong
        s.run.answer(2); // right
        QCOMPARE(int(s.run.main()->grades()[0]), 4);
        const QList<QStringList> rows = logFields(s.course);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(tail(rows[0]), QStringList({"test1", "1", "3", "1"}));
        QCOMPARE(tail(rows[1]), QStringList({"test1", "2", "1", "0"}));
        QCOMPARE(tail(rows[2]), QStringList({"test1", "3", "2", "1"}));
        for (const QStringList& r : rows) {
            QCOMPARE(r.size(), 7);
            QCOMPARE(r[0], QStringLiteral("Айгүл"));
        }
        // The time and date as the journal writes them.
        const QStringList journal =
            s.course.lines(QStringLiteral("journal.txt")).back().split(QStringLiteral(" | "));
        QCOMPARE(rows[2][2], journal[2]);
        const QByteArray bytes = s.course.read(kLog);
        QCOMPARE(bytes.count("\r\n"), 3);
        QVERIFY(bytes.contains(QByteArray::fromStdString(testsupport::cp("Айгүл")))); // the code page

        // An abandoned run leaves the lines of the answers it got.
        s.run.click("SpeedButton4");
        s.run.trigger("test1");
        s.run.answer(4);
        s.run.trigger("N111");
        QVERIFY(!s.run.main()->runActive());
        QCOMPARE(logFields(s.course).size(), 4);
        QCOMPARE(tail(logFields(s.course).back()), QStringList({"test1", "1", "4", "0"}));
        QCOMPARE(s.course.lines(QStringLiteral("journal.txt")).size(), 1);
        QCOMPARE(boxCount(), 0);
    }

    void failingAnswerLogIsShownOnceAndTheTestGoesOn() {
        Student s;
        writeTest(QStringLiteral("test1"), {1, 1, 1});
        QVERIFY(QDir().mkpath(s.course.file(kLog))); // a folder in the log's place
        s.run.trigger("test1");
        for (int q = 1; q <= 3; ++q)
            s.run.answer(1);
        QCOMPARE(boxCount(), 1);
        QVERIFY2(lastBoxText().contains(QStringLiteral("answers.log")), qPrintable(lastBoxText()));
        QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(int(s.run.main()->grades()[0]), 5);
        QCOMPARE(s.course.lines(QStringLiteral("journal.txt")).size(), 1);
        // Each run tells it once again.
        s.run.click("SpeedButton4");
        s.run.trigger("test1");
        s.run.answer(1);
        s.run.answer(1);
        QCOMPARE(boxCount(), 2);
    }

    void optionsOffKeepFileOrder() {
        Student s;
        writeTest(QStringLiteral("test1"), {2, 2, 2, 2});
        s.course.write(kOptions, "shuffle_answers=0\r\ndraw=0\r\n");
        s.run.trigger("test1");
        for (int q = 1; q <= 4; ++q) {
            QCOMPARE(shownQuestion(s.run), q);
            QCOMPARE(s.run.control<QLabel>("LabelCounter")->text(), QStringLiteral("%1 из 4").arg(q));
            for (int k = 1; k <= 5; ++k)
                QCOMPARE(answerButton(s.run, k)->text(),
                         QStringLiteral("%1) answer %2 of %3").arg(QChar(u'A' + k - 1)).arg(k).arg(q));
            s.run.answer(2);
        }
        QCOMPARE(int(s.run.main()->grades()[0]), 5);
    }

    void shuffledRunAnsweredRightScoresFive() {
        Student s;
        writeTest(QStringLiteral("test1"), {1, 2, 3, 4, 5, 1});
        s.course.write(kOptions, "shuffle_answers=1\r\n");
        bool moved = false;
        for (int run = 0; run < 5; ++run) {
            s.run.trigger("test1");
            for (int q = 1; q <= 6; ++q) {
                QCOMPARE(shownQuestion(s.run), q); // the questions keep their order
                std::set<QString> texts;
                for (int k = 1; k <= 5; ++k) {
                    const QString text = answerButton(s.run, k)->text();
                    QVERIFY2(!text.contains(QLatin1Char(')')), qPrintable(text)); // no letter prefix
                    QVERIFY(answerButton(s.run, k)->isVisibleTo(s.run.main()));
                    texts.insert(text);
                    if (!text.startsWith(QStringLiteral("answer %1 ").arg(k)))
                        moved = true;
                }
                QCOMPARE(int(texts.size()), 5);
                const int right = q <= 5 ? q : 1;
                const int place = placeOf(s.run, right);
                QVERIFY(place >= 1);
                s.run.answer(place);
            }
            QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
            QCOMPARE(int(s.run.main()->grades()[0]), 5);
            QCOMPARE(s.run.control<QLabel>("LabelRight")->text(),
                     QStringLiteral("Правильных ответов: 6 из 6"));
            s.run.click("SpeedButton4");
        }
        QVERIFY(moved); // 30 questions all in file order would be one chance in 120^30
        // The log names the answer as the file has it.
        const QList<QStringList> rows = logFields(s.course);
        QCOMPARE(rows.size(), 30);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(tail(rows[i]),
                     QStringList({"test1", QString::number(i + 1), QString::number(i < 5 ? i + 1 : 1), "1"}));
        QCOMPARE(boxCount(), 0);
    }

    void shuffledWrongAnswerCountsAsTheFilesAnswer() {
        Student s;
        writeTest(QStringLiteral("test1"), {4});
        s.course.write(kOptions, "shuffle_answers=1\r\n");
        s.run.trigger("test1");
        const int place = placeOf(s.run, 2);
        s.run.answer(place);
        QCOMPARE(int(s.run.main()->grades()[0]), 1);
        QCOMPARE(tail(logFields(s.course).back()), QStringList({"test1", "1", "2", "0"}));
    }

    void emptyAnswersStayHidden() {
        Student s;
        writeTest(QStringLiteral("test1"), {2});
        store::write("1", "a4", "", testing::testFileName("test1"));
        for (const char* options : {"shuffle_answers=0\r\n", "shuffle_answers=1\r\n"}) {
            s.course.write(kOptions, options);
            s.run.trigger("test1");
            int hidden = 0;
            for (int k = 1; k <= 5; ++k) {
                const bool shown = answerButton(s.run, k)->isVisibleTo(s.run.main());
                const char letter[] = {'L', 'e', 't', 't', 'e', 'r', char('A' + k - 1), 0};
                QCOMPARE(s.run.control<QLabel>(letter)->isVisibleTo(s.run.main()), shown);
                QCOMPARE(shown, !answerButton(s.run, k)->text().isEmpty());
                hidden += !shown;
            }
            QCOMPARE(hidden, 1);
            s.run.answer(placeOf(s.run, 2));
            QCOMPARE(int(s.run.main()->grades()[0]), 5);
            s.run.click("SpeedButton4");
        }
    }

    void drawnRunOfFiveOfTwelveIsGradedOverFive() {
        Student s;
        writeTest(QStringLiteral("test1"), std::vector<int>(12, 3));
        s.course.write(kOptions, "draw=5\r\n");
        std::set<int> everAsked;
        for (int run = 0; run < 4; ++run) {
            s.run.trigger("test1");
            std::set<int> asked;
            for (int n = 1; n <= 5; ++n) {
                QCOMPARE(s.run.control<QLabel>("LabelCounter")->text(), QStringLiteral("%1 из 5").arg(n));
                const int q = shownQuestion(s.run);
                QVERIFY(q >= 1 && q <= 12);
                QVERIFY(asked.insert(q).second); // no question twice
                QCOMPARE(answerButton(s.run, 1)->text(), QStringLiteral("A) answer 1 of %1").arg(q));
                s.run.answer(n <= 4 ? 3 : 1);
            }
            everAsked.insert(asked.begin(), asked.end());
            QCOMPARE(s.run.visibleScreen(), QStringLiteral("Panel2"));
            QCOMPARE(int(s.run.main()->grades()[0]), 5); // 4 of 5
            QCOMPARE(s.run.control<QLabel>("LabelRight")->text(),
                     QStringLiteral("Правильных ответов: 4 из 5"));
            QVERIFY(
                s.course.lines(QStringLiteral("journal.txt")).back().endsWith(QStringLiteral("| test1 | 5")));
            // The log names the questions of the file that were asked.
            const QList<QStringList> rows = logFields(s.course).mid(run * 5);
            QCOMPARE(rows.size(), 5);
            std::set<int> logged;
            for (const QStringList& r : rows)
                logged.insert(r[4].toInt());
            QCOMPARE(logged, asked);
            s.run.click("SpeedButton4");
        }
        QVERIFY(everAsked.size() > 5); // twenty draws of five never leave the same five
        // More than the file holds: all of them, in some order.
        s.course.write(kOptions, "draw=20\r\n");
        s.run.trigger("test1");
        QCOMPARE(s.run.control<QLabel>("LabelCounter")->text(), QStringLiteral("1 из 12"));
        for (int n = 1; n <= 12; ++n)
            s.run.answer(3);
        QCOMPARE(s.run.control<QLabel>("LabelRight")->text(), QStringLiteral("Правильных ответов: 12 из 12"));
    }

    void drawnRunChoosesAmongTheQuestionsTheFileHolds() {
        // A count far above the twelve sections: the draw neither asks a missing question nor
        // allocates for the count.
        Student s;
        s.course.write(kOptions, "draw=20\r\n");
        for (const char* count : {"30", "200000000", "2000000000"}) {
            writeTest(QStringLiteral("test1"), std::vector<int>(12, 3), count);
            s.run.trigger("test1");
            QCOMPARE(boxCount(), 0);
            QCOMPARE(s.run.control<QLabel>("LabelCounter")->text(), QStringLiteral("1 из 12"));
            std::set<int> asked;
            for (int n = 1; n <= 12; ++n) {
                const int q = shownQuestion(s.run);
                QVERIFY2(q >= 1 && q <= 12 && asked.insert(q).second, count);
                s.run.answer(3);
            }
            QCOMPARE(s.run.control<QLabel>("LabelRight")->text(),
                     QStringLiteral("Правильных ответов: 12 из 12"));
            s.run.click("SpeedButton4");
        }
    }

    void badOptionsFileIsNamedAndTheRunGoesOnWithout() {
        Student s;
        writeTest(QStringLiteral("test1"), {1, 1});
        s.course.write(kOptions, "draw=много\r\n");
        s.run.trigger("test1");
        QCOMPARE(boxCount(), 1);
        QVERIFY2(lastBoxText().contains(QStringLiteral("options.ini")) &&
                     lastBoxText().contains(QStringLiteral("draw")),
                 qPrintable(lastBoxText()));
        QCOMPARE(s.run.control<QLabel>("LabelCounter")->text(), QStringLiteral("1 из 2"));
        QCOMPARE(shownQuestion(s.run), 1);
    }

    void optionsFileParsing() {
        QCOMPARE(testing::parseOptions({}), testing::Options{});
        QCOMPARE(testing::parseOptions(
                     {"\xEF\xBB\xBF[tests]", "; comment", "shuffle_answers = 1", "draw=7", "other=x", ""}),
                 (testing::Options{true, 7}));
        for (const char* bad :
             {"shuffle_answers=yes", "shuffle_answers=", "draw=-1", "draw=3.5", "draw=1000001"})
            QVERIFY_THROWS_EXCEPTION(Error, testing::parseOptions({bad}));
        // A repeated key counts by its last line, whatever the lines before it hold.
        QCOMPARE(testing::parseOptions({"draw=x", "shuffle_answers=1", "draw=4", "shuffle_answers = 0"}),
                 (testing::Options{false, 4}));
        QVERIFY_THROWS_EXCEPTION(Error, testing::parseOptions({"draw=4", "draw=x"}));
        QCOMPARE(testing::withoutLetterPrefix(QStringLiteral("B) два")), QStringLiteral("два"));
        QCOMPARE(testing::withoutLetterPrefix(QStringLiteral("С)три")), QStringLiteral("три")); // Cyrillic С
        QCOMPARE(testing::withoutLetterPrefix(QStringLiteral("F) пять")), QStringLiteral("F) пять"));
        QCOMPARE(testing::withoutLetterPrefix(QStringLiteral("(A) нет")), QStringLiteral("(A) нет"));
        QCOMPARE(testing::withoutLetterPrefix(QString()), QString());
        std::mt19937 engine(1);
        QCOMPARE(testing::questionsToAsk(3, 0, engine), (std::vector<int>{1, 2, 3}));
        std::vector<int> drawn = testing::questionsToAsk(12, 5, engine);
        QCOMPARE(drawn.size(), std::size_t(5));
        QCOMPARE(std::set<int>(drawn.begin(), drawn.end()).size(), std::size_t(5));
        drawn = testing::questionsToAsk(4, 9, engine);
        std::sort(drawn.begin(), drawn.end());
        QCOMPARE(drawn, (std::vector<int>{1, 2, 3, 4}));
    }

    void optionsWindowEditsTheFile() {
        CourseFolder course;
        course.write(kOptions, "; kept\r\ndraw=9\r\n# note\r\ndraw=3\r\n");
        {
            Running student;
            student.registerUser(QStringLiteral("u"), QStringLiteral("pw"));
            student.signIn(QStringLiteral("u"), QStringLiteral("pw"));
            QVERIFY(!student.action("NOpt")->isVisible());
        }
        Running admin;
        admin.signInAdmin();
        QAction* item = admin.action("NOpt");
        QVERIFY(item->isVisible());
        QCOMPARE(item->text(), QStringLiteral("Параметры тестов"));
        QVERIFY(admin.action("Nadm")->menu()->actions().contains(item));
        admin.trigger("NOpt");
        auto* w = admin.main()->findChild<ui::TestOptions*>(QStringLiteral("FormOpt"));
        QVERIFY(w && w->isVisible());
        auto* shuffle = w->findChild<QCheckBox*>(QStringLiteral("CheckShuffle"));
        auto* draw = w->findChild<QSpinBox*>(QStringLiteral("SpinDraw"));
        QVERIFY(!shuffle->isChecked());
        QCOMPARE(draw->value(), 3);
        shuffle->setChecked(true);
        draw->setValue(10);
        w->findChild<QPushButton*>(QStringLiteral("ButtonSave"))->click();
        QVERIFY(!w->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // closed, it is gone
        QVERIFY(!admin.main()->findChild<ui::TestOptions*>(QStringLiteral("FormOpt")));
        // The repeated key is saved once, where it first stood.
        QCOMPARE(course.read(kOptions), QByteArray("; kept\r\ndraw=10\r\n# note\r\nshuffle_answers=1\r\n"));
        QCOMPARE(testing::readOptions(), (testing::Options{true, 10}));
        // Cancel keeps the file; a bad file is named and shown as all off.
        course.write(kOptions, "shuffle_answers=2\r\n");
        const int boxes = boxCount();
        admin.trigger("NOpt");
        w = admin.main()->findChild<ui::TestOptions*>(QStringLiteral("FormOpt"));
        QVERIFY(w && w->isVisible());
        QCOMPARE(boxCount(), boxes + 1);
        QVERIFY2(lastBoxText().contains(QStringLiteral("shuffle_answers")), qPrintable(lastBoxText()));
        QVERIFY(!w->findChild<QCheckBox*>(QStringLiteral("CheckShuffle"))->isChecked());
        w->findChild<QSpinBox*>(QStringLiteral("SpinDraw"))->setValue(4);
        w->findChild<QPushButton*>(QStringLiteral("ButtonCancel"))->click();
        QCOMPARE(course.read(kOptions), QByteArray("shuffle_answers=2\r\n"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A failed save says so and leaves the file whole.
        admin.trigger("NOpt");
        w = admin.main()->findChild<ui::TestOptions*>(QStringLiteral("FormOpt"));
        QFile::remove(course.file(kOptions));
        QVERIFY(QDir().mkpath(course.file(kOptions)));
        QVERIFY(!w->save());
        QVERIFY2(lastBoxText().contains(QStringLiteral("не сохранены")), qPrintable(lastBoxText()));
    }

    void itemFiguresOfAHandMadeLog() {
        const QByteArray log = handMadeLog();
        const reports::ItemAnalysis a = reports::analyseItems(std::string_view(log.constData(), log.size()));
        QCOMPARE(a.lines, 12LL + 30);
        QCOMPARE(a.skipped, 1LL);
        QCOMPARE(a.tests.size(), std::size_t(2));
        const reports::TestItems& t1 = a.tests[0];
        QCOMPARE(t1.test, std::string("test1"));
        QCOMPARE(t1.runs, 4LL);
        QCOMPARE(t1.items.size(), std::size_t(3));
        // Runs: Аня 2/3 (upper), Боря 1/3, Вика 1/3, Аня again 1/3 (lower: the last of the tie).
        QCOMPARE(t1.items[0].answers, 4LL);
        QCOMPARE(t1.items[0].right, 2LL);
        QCOMPARE(t1.items[0].chosen, (std::array<long long, 5>{0, 2, 0, 1, 1}));
        QCOMPARE(*t1.items[0].discrimination, 1.0);
        QCOMPARE(t1.items[1].shareRight(), 0.25);
        QCOMPARE(*t1.items[1].discrimination, 1.0);
        QCOMPARE(t1.items[1].chosen, (std::array<long long, 5>{2, 0, 1, 1, 0}));
        QCOMPARE(t1.items[2].shareRight(), 0.5);
        QCOMPARE(*t1.items[2].discrimination, -1.0);
        QVERIFY(t1.items[2].flagged() && !t1.items[0].flagged() && !t1.items[1].flagged());
        // test2: ten runs, groups of three (27 % of 10).
        const reports::TestItems& t2 = a.tests[1];
        QCOMPARE(t2.runs, 10LL);
        QCOMPARE(t2.items[0].shareRight(), 1.0);
        QCOMPARE(*t2.items[0].discrimination, 0.0);
        QVERIFY(t2.items[0].tooEasy() && t2.items[0].flagged());
        QCOMPARE(t2.items[1].shareRight(), 0.1);
        QVERIFY(qAbs(*t2.items[1].discrimination - 1.0 / 3) < 1e-9);
        QVERIFY(t2.items[1].tooHard());
        QCOMPARE(*t2.items[2].discrimination, 1.0);
        QVERIFY(!t2.items[2].flagged());
        std::vector<int> order;
        for (const reports::ItemFigures* f : reports::byShareRight(t2))
            order.push_back(f->question);
        QCOMPARE(order, (std::vector<int>{2, 3, 1}));
        // A question repeated begins a new run, whatever its number.
        std::string repeated;
        for (const int q : {63, 64, 65, 66, 65, 64, 1000, 1000})
            repeated += "z | t | d | test4 | " + std::to_string(q) + " | 1 | 1\n";
        QCOMPARE(reports::analyseItems(repeated).tests[0].runs, 3LL);
        // One run alone has no groups to compare.
        const std::string single = "x | t | d | test3 | 1 | 1 | 1\r\n";
        QVERIFY(!reports::analyseItems(single).tests[0].items[0].discrimination);
    }

    void itemsCommandWritesCsvAndXlsx() {
        CourseFolder course;
        course.write(kLog, handMadeLog());
        const QString csv = course.file(QStringLiteral("items.csv"));
        ToolRun r = runTool({QStringLiteral("items"), course.path(), csv});
        QCOMPARE(r.status, 1); // the broken line is counted
        QVERIFY2(r.err.contains(QStringLiteral("семи полей")) && r.err.contains(QStringLiteral(": 1.")),
                 qPrintable(r.err));
        const QStringList rows = QString::fromUtf8(course.read(QStringLiteral("items.csv")).mid(3))
                                     .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 7);
        QCOMPARE(rows[0],
                 QStringLiteral("Тест;Вопрос;Ответов;Доля верных;Дискриминация;A;B;C;D;E;Пересмотреть"));
        QCOMPARE(rows[1], QStringLiteral("test1;1;4;0,500;1,000;0;2;0;1;1;"));
        QCOMPARE(rows[3], QStringLiteral("test1;3;4;0,500;-1,000;2;1;0;0;1;да"));
        QCOMPARE(rows[5], QStringLiteral("test2;2;10;0,100;0,333;0;1;0;0;9;да"));
        r = runTool({QStringLiteral("items"), course.path(), course.file(QStringLiteral("items.xlsx"))});
        QCOMPARE(r.status, 1);
        QVERIFY(course.read(QStringLiteral("items.xlsx")).startsWith("PK"));
        QCOMPARE(runTool({QStringLiteral("items"), course.path(), course.file(QStringLiteral("items.txt"))})
                     .status,
                 2);
        course.write(kLog, "Аня | 1 | 2 | test1 | 1 | 1 | 1\r\n");
        QCOMPARE(runTool({QStringLiteral("items"), course.path(), csv}).status, 0);
        QFile::remove(course.file(kLog));
        r = runTool({QStringLiteral("items"), course.path(), csv});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("answers.log")), qPrintable(r.err));
        QVERIFY(runTool({QStringLiteral("--help")}).out.contains(QStringLiteral("ortavia-tests items")));
    }

    void linesOfAQuestionTheTestLacksAreSkipped() {
        // test1 holds three questions; test11 and the unknown names have no file (up to 1,000).
        struct Case {
            const char* lines;
            int rows, skipped;
        } cases[] = {
            {"a | t | d | test1 | 3 | 1 | 1\na | t | d | test1 | 4 | 1 | 1\n", 1, 1},
            {"a | t | d | test11 | 1000 | 1 | 1\na | t | d | test11 | 1001 | 2 | 0\n", 1, 1},
            {"a | t | d | x1 | 999999 | 1 | 1\na | t | d | x2 | 999999 | 1 | 1\n"
             "a | t | d | x3 | 999999 | 1 | 1\n",
             0, 3},
        };
        CourseFolder course;
        QDir().mkpath(course.file(QStringLiteral("data/tests")));
        writeTest(QStringLiteral("test1"), {1, 2, 3});
        const QString csv = course.file(QStringLiteral("items.csv"));
        for (const Case& c : cases) {
            course.write(kLog, c.lines);
            const ToolRun r = runTool({QStringLiteral("items"), course.path(), csv});
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QStringLiteral(": %1.").arg(c.skipped)), qPrintable(r.err));
            QCOMPARE(QString::fromUtf8(course.read(QStringLiteral("items.csv")))
                         .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                         .size(),
                     1 + c.rows);
        }
    }

    void statisticsWindowShowsTheItemTable() {
        CourseFolder course;
        course.write(kLog, handMadeLog());
        Running run;
        run.signInAdmin();
        run.trigger("NStat");
        auto* w = run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat"));
        QVERIFY(w && w->isVisible());
        w->findChild<QTabWidget*>(QStringLiteral("TabsStat"))->setCurrentIndex(1);
        auto* combo = w->findChild<QComboBox*>(QStringLiteral("ComboItems"));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->currentText(), QStringLiteral("test1"));
        auto* grid = w->findChild<QTableWidget*>(QStringLiteral("GridItems"));
        const auto column = [grid](int c) {
            QStringList cells;
            for (int r = 0; r < grid->rowCount(); ++r)
                cells << grid->item(r, c)->text();
            return cells;
        };
        QCOMPARE(column(0), QStringList({"2", "1", "3"})); // by share right, ties by number
        QCOMPARE(column(2), QStringList({"25 %", "50 %", "50 %"}));
        QCOMPARE(column(3), QStringList({"1,00", "1,00", "-1,00"}));
        QCOMPARE(column(9), QStringList({"", "", "отрицательная дискриминация"}));
        QVERIFY(grid->item(2, 0)->background() != grid->item(0, 0)->background());
        combo->setCurrentIndex(1);
        QCOMPARE(column(0), QStringList({"2", "3", "1"}));
        QCOMPARE(column(9), QStringList({"меньше 20 % верных", "", "больше 90 % верных"}));
        QCOMPARE(column(4), QStringList({"0", "5", "0"})); // A chosen
        QCOMPARE(column(8), QStringList({"9", "0", "0"})); // E chosen
        // Without a log the page says so.
        QFile::remove(course.file(kLog));
        w->reload(run.main()->journalName());
        QCOMPARE(grid->rowCount(), 0);
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("LabelItems"))
                    ->text()
                    .contains(QStringLiteral("answers.log")));
        QCOMPARE(boxCount(), 0);
    }
};

ORTAVIA_TEST_MAIN(ItemsTest)
#include "test_items.moc"
