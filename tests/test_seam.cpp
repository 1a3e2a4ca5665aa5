// The windows reach the course only through the course object: on a course that is no folder (as
// the lab server's client is), with an empty working folder, a student registers, signs in, takes a
// test and sees the progress, all from what the course object says, and no file is made.
#include <QDir>
#include <QFile>
#include <QTextEdit>
#include <sys/stat.h>

#include "course/files_course.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

// Serves the student's side from memory. What it does not serve falls to the course folder, which is
// empty here: a window reaching for it would meet missing files.
class MemoryCourse : public course::FilesCourse {
public:
    std::vector<std::string> registered;
    std::vector<std::pair<int, int>> answers; // question number, place
    bool signedOut = false;
    std::string started;

    std::vector<std::string> userList() override { return {cp("Асан")}; }
    accounts::Settings settings() override { return {"boss", "", "j.txt"}; } // no password given out
    std::optional<std::string> registerUser(std::string_view name, std::string_view) override {
        registered.emplace_back(name);
        return std::nullopt;
    }
    course::SignInResult signIn(std::string_view name, std::string_view password) override {
        course::SignInResult r;
        if (name != cp("Асан") || password != "pw") {
            r.refusal = "Нет такого пользователя.";
            return r;
        }
        grades_ = {2, 3};
        r.role = role_ = course::Role::Student;
        r.grades = grades_;
        r.loaded = 10;
        return r;
    }
    course::Grades grades() const override { return grades_; }
    course::Role role() const override { return role_; }
    void signOut() override { signedOut = true; }
    testing::ShownQuestion startRun(std::string_view testName) override {
        started = testName;
        return {1, 2, cp("Первый?"), {cp("да"), cp("нет"), "", "", ""}};
    }
    course::Step answer(int n, int place) override {
        answers.emplace_back(n, place);
        course::Step step;
        if (n == 1)
            step.next = testing::ShownQuestion{2, 2, cp("Второй?"), {"a", "b", "c", "", ""}};
        else
            step.end = course::RunEnd{5, 2, 2};
        grades_[0] = step.end ? 5 : grades_[0];
        return step;
    }
    void abandonRun() override {}
    std::string optionsProblem() const override { return {}; }
    QUrl documentUrl(std::string_view path) override {
        return QUrl(QStringLiteral("https://course.example/") + QString::fromStdString(std::string(path)));
    }
    deployment::Reading deploymentTexts() override {
        deployment::Reading r;
        r.texts.institution = "Курс на сервере";
        return r;
    }

private:
    course::Grades grades_{};
    course::Role role_ = course::Role::None;
};

} // namespace

class SeamTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void studentSideThroughTheCourseObjectOnly() {
        CourseFolder folder(Contents::Nothing);
        auto owned = std::make_unique<MemoryCourse>();
        MemoryCourse& course = *owned;
        {
            Running run(std::move(owned));
            QCOMPARE(boxCount(), 0); // the settings came from the course, not from a file
            QCOMPARE(ui::findComponentAs<QLabel>(run.program.form3.get(), QStringLiteral("Label1"))->text(),
                     QStringLiteral("Курс на сервере"));
            QCOMPARE(run.main()->requestedUrl(),
                     QUrl(QStringLiteral("https://course.example/\\data\\help\\sod.htm")));
            QCOMPARE(run.control<QLineEdit>("Edit3")->text(), QStringLiteral("boss"));
            QVERIFY(run.control<QLineEdit>("Edit4")->text().isEmpty());

            run.registerUser(QStringLiteral("Бота"), QStringLiteral("pw2"));
            QCOMPARE(course.registered, std::vector<std::string>{cp("Бота")});
            run.signIn(QStringLiteral("Асан"), QStringLiteral("bad"));
            QCOMPARE(lastBoxText(), QStringLiteral("Нет такого пользователя."));
            run.signIn(QStringLiteral("Асан"), QStringLiteral("pw"));
            QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
            QVERIFY(!run.enabled("test2") && run.enabled("test3")); // test 1 at 2 locks topic 2

            run.trigger("test1");
            QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
            QCOMPARE(course.started, std::string("test1"));
            QCOMPARE(run.control<QTextEdit>("Memo1")->toPlainText(), QStringLiteral("Первый?"));
            QCOMPARE(run.control<QLabel>("LabelCounter")->text(), QStringLiteral("1 из 2"));
            QVERIFY(!run.control<QWidget>("RadioButton3")->isVisibleTo(run.main()));
            run.answer(2);
            QCOMPARE(run.control<QLabel>("LabelCounter")->text(), QStringLiteral("2 из 2"));
            run.answer(3);
            QCOMPARE(course.answers, (std::vector<std::pair<int, int>>{{1, 2}, {2, 3}}));
            QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
            QCOMPARE(run.control<QLabel>("Label18")->text(), QStringLiteral("5"));
            QCOMPARE(run.control<QLabel>("LabelRight")->text(), QStringLiteral("Правильных ответов: 2 из 2"));
            QVERIFY(run.enabled("test2"));

            // A slide show is handed the presentation where the course keeps it.
            QStringList shown;
            const auto saved = ui::TForm1::launcher;
            ui::TForm1::launcher = [&shown](const QString&, const QStringList& args) { shown = args; };
            run.trigger("N24");
            ui::TForm1::launcher = saved;
            QCOMPARE(shown,
                     QStringList(
                         {QStringLiteral("--show"),
                          QUrl(QStringLiteral("https://course.example/\\Data\\Prezent\\2.pps")).toString()}));

            ui::dialogs::answerNextBox(ui::Answer::Ok);
            run.main()->close();
            QVERIFY(course.signedOut);
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // The course folder's faults as the windows have always met them.
    void missingSettingsLeaveStudentsTheirSignIn() {
        CourseFolder folder;
        QFile::remove(folder.file(QStringLiteral("data/info/tumb.db")));
        Running run;
        QCOMPARE(lastBoxText(), QStringLiteral("File not found"));
        run.registerUser(QStringLiteral("u"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("u"), QStringLiteral("pw"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QCOMPARE(boxCount(), 2); // the registration notice
    }

    void recordThatCannotBeWrittenAfterTheEndOfARun() {
        CourseFolder folder;
        writeTest(QStringLiteral("test1"), {1});
        Running run;
        run.registerUser(QStringLiteral("u"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("u"), QStringLiteral("pw"));
        QVERIFY(::chmod(folder.file(QStringLiteral("users.ini")).toLocal8Bit().constData(), 0444) == 0);
        run.trigger("test1");
        run.answer(1);
        // The end is shown and journalled, then the record's failure told.
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(run.control<QLabel>("Label18")->text(), QStringLiteral("5"));
        QVERIFY(run.enabled("test2"));
        QCOMPARE(folder.lines(QStringLiteral("journal.txt")).size(), 1);
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
    }
};

ORTAVIA_TEST_MAIN(SeamTest)
#include "test_seam.moc"
