// The administrator's view of the test journal on the text page screen.
#include <QDir>
#include <QPlainTextEdit>

#include "store/codepage.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kJournal = QStringLiteral("journal.txt");

QStringList memoLines(const Running& running) {
    return running.control<QPlainTextEdit>("Memo2")->toPlainText().split(QLatin1Char('\n'));
}

} // namespace

class JournalTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void twoFinishedTestsShowTwoLinesInOrder() {
        CourseFolder course;
        QDir().mkpath(course.file(QStringLiteral("data/tests"))); // the test files' folder
        {
            Running student;
            student.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
            student.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
            writeTest(QStringLiteral("test1"), {1, 2, 3});
            student.trigger("test1");
            QCOMPARE(student.visibleScreen(), QStringLiteral("Panel3"));
            student.answer(1);
            student.answer(2);
            student.answer(3); // three right of three: 5, which opens test 2
            QCOMPARE(student.visibleScreen(), QStringLiteral("Panel2"));
            writeTest(QStringLiteral("test2"), {1, 1});
            student.trigger("test2");
            QCOMPARE(student.visibleScreen(), QStringLiteral("Panel3"));
            student.answer(1);
            student.answer(5); // one right of two: 3
            QCOMPARE(student.visibleScreen(), QStringLiteral("Panel2"));
        }
        Running admin;
        admin.signInAdmin();
        admin.trigger("N30");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel6"));
        const QStringList lines = memoLines(admin);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines, course.lines(kJournal));
        QVERIFY2(lines[0].startsWith(QStringLiteral("Айгүл | ")), qPrintable(lines[0]));
        QVERIFY2(lines[0].endsWith(QStringLiteral(" | test1 | 5")), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Айгүл | ")), qPrintable(lines[1]));
        QVERIFY2(lines[1].endsWith(QStringLiteral(" | test2 | 3")), qPrintable(lines[1]));
        QCOMPARE(boxCount(), 0);
        // The view leaves the settings screen alone and the other screens hidden.
        for (const char* panel : {"Panel1", "Panel2", "Panel3", "Panel4"})
            QVERIFY2(!admin.control<QWidget>(panel)->isVisibleTo(admin.main()), panel);
    }

    void editsAreNotKept() {
        CourseFolder course;
        course.write(kJournal, QByteArray::fromStdString(
                                   testsupport::cp("Bob | 10:00:00 | 01.02.2024 | test1 | 4\r\n"
                                                   "Қанат | 10:05:00 | 01.02.2024 | test1 | 5\r\n")));
        const QByteArray before = course.read(kJournal);
        Running admin;
        admin.signInAdmin();
        admin.trigger("N30");
        auto* memo = admin.control<QPlainTextEdit>("Memo2");
        QVERIFY(!memo->isReadOnly());
        memo->setFocus();
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, QStringLiteral(" edited"));
        memo->appendPlainText(QStringLiteral("a line typed in"));
        QVERIFY(memo->toPlainText().contains(QStringLiteral("edited")));
        admin.click("SpeedButton5");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel1"));
        admin.trigger("N30");
        QCOMPARE(memoLines(admin), course.lines(kJournal));
        QCOMPARE(memoLines(admin).size(), 2);
        QCOMPARE(course.read(kJournal), before);
    }

    void journalIsReadAnewEachTime() {
        CourseFolder course;
        course.write(kJournal, "one\r\n");
        Running admin;
        admin.signInAdmin();
        admin.trigger("N30");
        QCOMPARE(memoLines(admin), QStringList({"one"}));
        course.write(kJournal, "one\r\ntwo\nthree\rfour");
        admin.trigger("N30");
        QCOMPARE(memoLines(admin), QStringList({"one", "two", "three", "four"}));
        course.write(kJournal, QByteArray());
        admin.trigger("N30");
        QCOMPARE(admin.control<QPlainTextEdit>("Memo2")->toPlainText(), QString());
        QCOMPARE(boxCount(), 0);
    }

    void missingJournalShowsTheErrorWithTheScreenSwitched() {
        CourseFolder course;
        QVERIFY(!course.exists(kJournal));
        Running admin;
        admin.signInAdmin();
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel1"));
        admin.trigger("N30");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel6"));
        QCOMPARE(boxCount(), 1);
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
        QCOMPARE(
            lastBoxText(),
            QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(course.file(kJournal)));
        QCOMPARE(admin.control<QPlainTextEdit>("Memo2")->toPlainText(), QStringLiteral("Memo2"));

        // Later the memo keeps the last content shown.
        course.write(kJournal, "shown once\r\n");
        admin.trigger("N30");
        QFile::remove(course.file(kJournal));
        admin.trigger("N30");
        QCOMPARE(boxCount(), 2);
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel6"));
        QCOMPARE(memoLines(admin), QStringList({"shown once"}));
    }

    void backButtonCanBeSeenAndClicked() {
        CourseFolder course;
        course.write(kJournal, "line\r\n");
        Running admin;
        admin.signInAdmin();
        admin.trigger("N30");
        auto* back = admin.control<QPushButton>("SpeedButton5");
        auto* memo = admin.control<QPlainTextEdit>("Memo2");
        QCOMPARE(back->text(), QStringLiteral("<<Назад"));
        QVERIFY(back->isVisibleTo(admin.main()));
        QVERIFY(!back->geometry().intersects(memo->geometry()));
        QVERIFY(admin.control<QWidget>("Panel6")->rect().contains(back->geometry()));
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(!admin.control<QWidget>("Panel6")->isVisibleTo(admin.main()));
    }
};

ORTAVIA_TEST_MAIN(JournalTest)
#include "test_journal.moc"
