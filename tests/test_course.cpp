// The course folder behind the seam (FilesCourse): the accounts as the sign-in screen keeps them, and
// a run with the teacher's draw and shuffle taken through to its lines.
#include <QRegularExpression>
#include <QTest>

#include "course/files_course.h"
#include "store/error.h"
#include "store/store.h"
#include "support/harness.h"
#include "testing/testing.h"

using namespace ortavia;
using namespace ortavia::testsupport;

class TestCourse : public QObject {
    Q_OBJECT

private slots:
    void accounts() {
        CourseFolder folder;
        course::FilesCourse files;
        QCOMPARE(files.settings().login, std::string("admin"));
        QVERIFY(!files.registerUser(testsupport::cp("Әсел"), "pw"));
        QVERIFY(
            files.registerUser(testsupport::cp("әсел"), "other")); // registered already, letter case ignored
        QCOMPARE(files.signIn(testsupport::cp("Әсел"), "bad").refusal,
                 std::string("Проверьте правильность имени и пароля!"));
        const course::SignInResult in = files.signIn(testsupport::cp("Әсел"), "pw");
        QCOMPARE(in.role, course::Role::Student);
        QCOMPARE(int(in.grades[0]), 1);
        QVERIFY(!files.deleteUser(testsupport::cp("Әсел"), "bad"));

        // The administrator: the picker's grades become the grade array, saved under the login at
        // sign-out; a settings change without a password keeps the one stored.
        course::FilesCourse admin;
        QCOMPARE(admin.signIn("admin", "admin").role, course::Role::Administrator);
        storeRecord("Бота", {"3", "4", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"});
        QCOMPARE(int(admin.pickUser(testsupport::cp("Бота"))[1]), 4);
        QVERIFY(!admin.writeSettings({"admin", "", "other.txt"}, std::nullopt));
        QCOMPARE(folder.read(QStringLiteral("data/info/tumb.db")), QByteArray("admin|admin|other.txt\r\n"));
        admin.signOut();
        QCOMPARE(store::read("admin", "test2", "\\users.ini"), std::string("4"));
        QVERIFY(files.deleteUser(testsupport::cp("Әсел"), "pw"));
        QVERIFY(!files.hasRecord(testsupport::cp("Әсел")));
    }

    void drawnAndShuffledRun() {
        CourseFolder folder;
        writeTest(QStringLiteral("test1"), {2, 5, 1, 3, 4, 2, 1, 5});
        folder.write(QStringLiteral("data/info/options.ini"), "shuffle_answers=1\r\ndraw=5\r\n");
        course::FilesCourse files;
        files.registerUser(testsupport::cp("Мадина"), "pw");
        files.signIn(testsupport::cp("Мадина"), "pw");
        testing::ShownQuestion q = files.startRun("test1");
        QCOMPARE(q.count, 5);
        std::optional<course::RunEnd> end;
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(q.number, n);
            const int file = std::stoi(q.text.substr(std::string("Question ").size()));
            const int right = std::stoi(testing::rightAnswer("test1", file));
            // Shuffled answers are shown without their letters; the right one is found by its text.
            int place = 0;
            for (int p = 1; p <= 5; ++p) {
                QVERIFY(!QByteArray::fromStdString(q.answers[p - 1]).contains(')'));
                if (q.answers[p - 1] == "answer " + std::to_string(right) + " of " + std::to_string(file))
                    place = p;
            }
            QVERIFY(place);
            // A wrong place for question 3; question 2 answered twice, the repeat not counted.
            const course::Step step = files.answer(n, n == 3 ? place % 5 + 1 : place);
            if (n == 2)
                QCOMPARE(files.answer(2, place % 5 + 1).next->number, 3);
            if (step.next)
                q = *step.next;
            end = step.end;
        }
        QVERIFY(end);
        QCOMPARE(end->right, 4);
        QCOMPARE(end->grade, 5); // 80 %
        QCOMPARE(store::read(testsupport::cp("Мадина"), "test1", "\\users.ini"), std::string("5"));
        QCOMPARE(folder.lines(QStringLiteral("journal.txt")).size(), 1);
        // One answer-log line per question asked, with the file's question and answer numbers.
        const QStringList log = folder.lines(QStringLiteral("answers.log"));
        QCOMPARE(log.size(), 5);
        for (const QString& line : log)
            QVERIFY2(QRegularExpression(
                         QStringLiteral("^Мадина \\| .+ \\| .+ \\| test1 \\| [1-8] \\| [1-5] \\| [01]$"))
                         .match(line)
                         .hasMatch(),
                     qPrintable(line));
        QCOMPARE(log.filter(QRegularExpression(QStringLiteral("\\| 0$"))).size(), 1);
    }

    void journalThatCannotBeWritten() {
        // The grade stays in the grade array (saved at sign-out); the record is not written by the run.
        CourseFolder folder;
        writeTest(QStringLiteral("test1"), {1});
        folder.write(QStringLiteral("data/info/tumb.db"), "admin|admin|journal\r\n");
        QDir().mkpath(QStringLiteral("journal"));
        course::FilesCourse files;
        files.registerUser("u", "pw");
        files.signIn("u", "pw");
        files.startRun("test1");
        QVERIFY_THROWS_EXCEPTION(ortavia::Error, files.answer(1, 1));
        QCOMPARE(int(files.grades()[0]), 5);
        QCOMPARE(store::read("u", "test1", "\\users.ini"), std::string("1"));
        files.signOut();
        QCOMPARE(store::read("u", "test1", "\\users.ini"), std::string("5"));
    }
};

QTEST_GUILESS_MAIN(TestCourse)
#include "test_course.moc"
