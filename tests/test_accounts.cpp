// Registration, sign-in, deletion, the administrator settings and the topics locked at sign-in.
#include "accounts/accounts.h"
#include "store/store.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {} // namespace

class AccountsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void registerThenSignInAtOnce() {
        CourseFolder course;
        Running run;
        run.registerUser(QStringLiteral("Әсел Нұрова"), QStringLiteral("құпия1"));
        QCOMPARE(lastBoxText(), QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
        QCOMPARE(ui::dialogs::shownBoxes().back().caption, QStringLiteral("Information"));
        QCOMPARE(course.read("users"), QByteArray(cp("Әсел Нұрова").c_str()) + "\r\n");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4")); // registration does not sign in
        run.click("SpeedButton3");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(run.enabled("n1") && run.enabled("test1") && run.enabled("N6"));
        for (const char* locked : {"N2", "test2", "N3", "test3", "N33", "test4", "N34", "test5", "N39",
                                   "test6", "N312", "test7", "N313", "test8", "N81", "test9", "N4", "test10"})
            QVERIFY2(!run.enabled(locked), locked);
        QCOMPARE(run.main()->grades()[0], std::uint8_t(1));
        QVERIFY(run.main()->saveAtClose());
        // The record holds its thirteen values in order.
        QCOMPARE(QString::fromStdString(store::read(cp("Әсел Нұрова"), "password", "\\users.ini")),
                 QString::fromStdString(cp("құпия1")));
        const QByteArray ini = course.read("users.ini");
        QVERIFY(ini.indexOf("password=") < ini.indexOf("test1=") &&
                ini.indexOf("test1=") < ini.indexOf("test2="));
        QVERIFY(ini.indexOf("test12=") > 0);
    }

    void userAndAdministratorMenus() {
        CourseFolder course;
        {
            Running run;
            run.registerUser(QStringLiteral("student"), QStringLiteral("pw"));
            run.click("SpeedButton3");
            for (const char* shown : {"N0", "Nadm", "Ni", "nlab", "Nprak", "Nrk"})
                QVERIFY2(run.action(shown)->isVisible(), shown);
            for (const char* hidden : {"notch", "Ntun", "nred", "NaFormuAvtorizazii", "N5", "N26"})
                QVERIFY2(!run.action(hidden)->isVisible(), hidden);
            QVERIFY(run.control<QComboBox>("ComboBox1")->isHidden());
        }
        Running run;
        run.signInAdmin();
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        for (const char* shown : {"N0", "Nadm", "Ni", "notch", "Ntun", "nred", "N30"})
            QVERIFY2(run.action(shown)->isVisible(), shown);
        QVERIFY(!run.action("NaFormuAvtorizazii")->isVisible());
        QVERIFY(!run.control<QComboBox>("ComboBox1")->isHidden());
        // The administrator finds every topic open and has loaded no grades.
        QVERIFY(run.enabled("N2") && run.enabled("test10"));
        QCOMPARE(run.main()->grades(), (std::array<std::uint8_t, 12>{}));
    }

    void storedGradesLockTopics() {
        CourseFolder course;
        // Test 1 at 2 locks topic 2; test 3 failed and test 4 passed: topic 4 closed, topic 5 open.
        storeRecord("u", {"2", "3", "2", "4", "0", "0", "0", "0", "0", "0", "0", "0"});
        Running run;
        run.signIn(QStringLiteral("u"), QStringLiteral("pw"));
        QVERIFY(!run.enabled("N2") && !run.enabled("test2"));
        QVERIFY(run.enabled("N3") && run.enabled("test3")); // test 2 = 3 opens topic 3
        QVERIFY(!run.enabled("N33") && !run.enabled("test4"));
        QVERIFY(run.enabled("N34") && run.enabled("test5"));
        QVERIFY(!run.enabled("N39"));
    }

    void gradesKeepTheirLowEightBits() {
        CourseFolder course;
        storeRecord("u", {"256", "-1", "3", "3", "3", "3", "3", "3", "3", "3", "7", "7"});
        Running run;
        run.signIn(QStringLiteral("u"), QStringLiteral("pw"));
        QCOMPARE(run.main()->grades()[0], std::uint8_t(0));
        QCOMPARE(run.main()->grades()[1], std::uint8_t(255));
        QVERIFY(!run.enabled("N2"));
        QVERIFY(run.enabled("N3"));
        QCOMPARE(run.main()->grades()[10], std::uint8_t(0)); // tests 11 and 12 are not loaded
    }

    void conversionErrorStopsSignInHalfWay() {
        CourseFolder course;
        storeRecord("u", {"5", "2", "abc", "5", "5", "5", "5", "5", "5", "5"});
        Running run;
        run.signIn(QStringLiteral("u"), QStringLiteral("pw"));
        QCOMPARE(lastBoxText(), QStringLiteral("'abc' is not a valid integer value"));
        QCOMPARE(run.main()->grades()[0], std::uint8_t(5));
        QCOMPARE(run.main()->grades()[1], std::uint8_t(2));
        QVERIFY(!run.enabled("N3")); // already locked before the error
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QVERIFY(!run.main()->saveAtClose());
        QVERIFY(run.action("NaFormuAvtorizazii")->isVisible());
    }

    void refusedSignInsChangeNothing() {
        CourseFolder course;
        Running run;
        run.registerUser(QStringLiteral("Иван"), QStringLiteral("pw"));
        const QByteArray before = course.read("users.ini");
        run.signIn(QStringLiteral("Иван"), QStringLiteral("wrong"));
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте правильность имени и пароля!"));
        QCOMPARE(ui::dialogs::shownBoxes().back().caption, QStringLiteral("Error"));
        // A name without a record never signs in, even with the default text as password.
        run.signIn(QStringLiteral("nobody"), QStringLiteral("??????"));
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте правильность имени и пароля!"));
        // A wrong administrator password is answered like a student's.
        const int boxes = boxCount();
        run.signIn(QStringLiteral("admin"), QStringLiteral("nope"));
        QCOMPARE(boxCount(), boxes + 1);
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте правильность имени и пароля!"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        // Passwords count letter case.
        run.signIn(QStringLiteral("Иван"), QStringLiteral("PW"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        // Closing after refused attempts writes nothing.
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.main()->close();
        QCOMPARE(course.read("users.ini"), before);
    }

    void emptyAdministratorLoginNeverMatches() {
        CourseFolder course;
        course.write("data/info/tumb.db", "");
        Running run;
        run.signIn(QString(), QString());
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QVERIFY(!run.action("Ntun")->isVisible());
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте правильность имени и пароля!"));
    }

    void registrationRefusals() {
        CourseFolder course;
        Running run;
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("first"));
        const QByteArray users = course.read("users");
        const QByteArray records = course.read("users.ini");
        const QStringList refused = {
            QStringLiteral("айгҮЛ"), QStringLiteral("ADMIN"), QString(),
            QStringLiteral("a]b"),   QStringLiteral("[x"),    QStringLiteral(";x"),
            QStringLiteral(" x"),    QStringLiteral("x "),    QStringLiteral("λ-user"),
            QStringLiteral("a\nb")};
        for (const QString& name : refused) {
            const int boxes = boxCount();
            run.registerUser(name, QStringLiteral("second"));
            QCOMPARE(boxCount(), boxes + 1);
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
            QVERIFY2(lastBoxText() != QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""),
                     qPrintable(name));
        }
        QCOMPARE(course.read("users"), users);
        QCOMPARE(course.read("users.ini"), records);
        // A record without a list entry also blocks the name.
        storeRecord("orphan", {"1"});
        run.registerUser(QStringLiteral("ORPHAN"), QStringLiteral("x"));
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
        QCOMPARE(course.read("users"), users);
    }

    void deletion() {
        CourseFolder course;
        Running run;
        run.registerUser(QStringLiteral("Ерлан"), QStringLiteral("pw"));
        run.registerUser(QStringLiteral("Other"), QStringLiteral("pw"));
        // A name listed twice (an old list): only the first line goes.
        course.write("users", cp("Ерлан\r\nOther\r\nЕрлан\r\n").c_str());
        Running again;
        again.registerUser(QStringLiteral("x"), QStringLiteral("y")); // list in memory reloaded from the file
        again.type("Edit2", QStringLiteral("ерЛАН"));                 // other letter case, Cyrillic
        again.type("MaskEdit1", QStringLiteral("pw"));
        const int boxes = boxCount();
        again.click("SpeedButton2");
        QCOMPARE(boxCount(), boxes); // no question, no message
        QCOMPARE(course.read("users"), QByteArray(cp("Other\r\nЕрлан\r\nx\r\n").c_str()));
        QVERIFY(!accounts::hasRecord(cp("Ерлан")));
        QVERIFY(accounts::hasRecord("Other"));
        // A wrong password deletes nothing.
        again.type("Edit2", QStringLiteral("Other"));
        again.type("MaskEdit1", QStringLiteral("bad"));
        again.click("SpeedButton2");
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте правильность имени и пароля!"));
        QVERIFY(accounts::hasRecord("Other"));
    }

    void settingsScreenApply() {
        CourseFolder course;
        Running run;
        run.signInAdmin();
        run.trigger("Ntun");
        QCOMPARE(run.control<QLineEdit>("Edit3")->text(), QStringLiteral("admin"));
        QCOMPARE(run.control<QLineEdit>("Edit6")->text(), QStringLiteral("journal.txt"));
        const QByteArray before = course.read("data/info/tumb.db");
        // Differing passwords.
        run.type("Edit4", QStringLiteral("new1"));
        run.type("Edit5", QStringLiteral("new2"));
        run.click("SpeedButton7");
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте пароль!"));
        QCOMPARE(course.read("data/info/tumb.db"), before);
        // A "|" in a field.
        run.type("Edit4", QStringLiteral("a|b"));
        run.type("Edit5", QStringLiteral("a|b"));
        run.click("SpeedButton7");
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
        QCOMPARE(course.read("data/info/tumb.db"), before);
        // An empty password is written; it takes effect at the next start only.
        run.type("Edit3", QStringLiteral("teacher"));
        run.type("Edit4", QString());
        run.type("Edit5", QString());
        run.type("Edit6", QStringLiteral("log.txt"));
        const int boxes = boxCount();
        run.click("SpeedButton7");
        QCOMPARE(boxCount(), boxes);
        QCOMPARE(course.read("data/info/tumb.db"), QByteArray("teacher||log.txt\r\n"));
        QCOMPARE(run.main()->adminLogin(), std::string("admin"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel7"));
        Running next;
        next.signIn(QStringLiteral("teacher"), QString());
        QVERIFY(next.action("Ntun")->isVisible());
    }

    void settingsLineParsing() {
        QCOMPARE(accounts::parseSettings("a||j").password, std::string());
        QCOMPARE(accounts::parseSettings("a||j").journal, std::string("j"));
        QCOMPARE(accounts::parseSettings("a|b|c|d").journal, std::string("c"));
        QCOMPARE(accounts::parseSettings("only").password, std::string());
        CourseFolder course;
        course.write("data/info/tumb.db", "boss|pw|j.txt\r\nsecond|line|x\r\n");
        Running run;
        QCOMPARE(run.main()->adminLogin(), std::string("boss"));
        QCOMPARE(run.main()->journalName(), std::string("j.txt"));
    }
};

ORTAVIA_TEST_MAIN(AccountsTest)
#include "test_accounts.moc"
