// Registration, sign-in, deletion, the administrator settings and the topics locked at sign-in.
#include <algorithm>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

#include "accounts/accounts.h"
#include "store/error.h"
#include "store/store.h"
#include "store/textfile.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kRefused = QStringLiteral("Проверьте правильность имени и пароля!");

// No box shown since `from` holds the text.
bool anyBoxSince(int from, const QString& text) {
    const QList<ui::ShownBox>& boxes = ui::dialogs::shownBoxes();
    for (int i = from; i < boxes.size(); ++i)
        if (boxes[i].text.contains(text))
            return true;
    return false;
}

} // namespace

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
            for (const char* hidden : {"notch", "Ntun", "nred", "NOpt", "NaFormuAvtorizazii", "N5", "N26"})
                QVERIFY2(!run.action(hidden)->isVisible(), hidden);
            QVERIFY(run.control<QComboBox>("ComboBox1")->isHidden());
        }
        Running run;
        run.signInAdmin();
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        for (const char* shown : {"N0", "Nadm", "Ni", "notch", "Ntun", "nred", "NOpt", "N30"})
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

    void refusedSignInEmptiesThePasswordForTypingAgain() {
        CourseFolder course;
        Running run;
        run.registerUser(QStringLiteral("Иван"), QStringLiteral("pw"));
        auto* password = run.control<QLineEdit>("MaskEdit1");
        for (const QString& login : {QStringLiteral("Иван"), QStringLiteral("admin")}) {
            run.control<QWidget>("Edit2")->setFocus(); // wherever the focus was
            run.signIn(login, QStringLiteral("wrong"));
            QCOMPARE(lastBoxText(), kRefused);
            QCOMPARE(password->text(), QString());
            QCOMPARE(run.control<QLineEdit>("Edit2")->text(), login); // the name stays
            QCOMPARE(run.focused(), password);
        }
        // The student types the password again straight away and signs in with Enter.
        run.type("Edit2", QStringLiteral("Иван"));
        run.typeKeys(QStringLiteral("pw"));
        QCOMPARE(password->text(), QStringLiteral("pw"));
        run.press(Qt::Key_Return);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        // A successful sign-in leaves the password as typed.
        QCOMPARE(password->text(), QStringLiteral("pw"));
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
            QStringLiteral("айгҮЛ"), QStringLiteral("ADMIN"), QString(), QStringLiteral("a]b"),
            QStringLiteral("[x"), QStringLiteral(";x"), QStringLiteral(" x"), QStringLiteral("x "),
            QStringLiteral("λ-user"), QStringLiteral("a\nb"), QStringLiteral("a|b"),
            QStringLiteral("a\u00A0b"), QStringLiteral("a\u00ADb"), QStringLiteral("a\u0001b"),
            QStringLiteral("a\tb"),
            // A word of Latin and Cyrillic letters passes for another name ("Аsқar", Latin s).
            QStringLiteral("Аsқар"), QStringLiteral("Ivаn")};
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
        // Words of different alphabets side by side are a name like any other.
        run.registerUser(QStringLiteral("Ivan Иванов"), QStringLiteral("x"));
        QCOMPARE(lastBoxText(), QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
        course.write("users", users);
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
        const QByteArray users = course.read("users");
        const QByteArray records = course.read("users.ini");
        // The question comes first, Cancel its default: refusing it, or giving no answer, keeps all.
        for (const std::optional<ui::Answer> answer :
             {std::optional(ui::Answer::Cancel), std::optional<ui::Answer>()}) {
            const int boxes = boxCount();
            if (answer)
                ui::dialogs::answerNextBox(*answer);
            again.click("SpeedButton2");
            QCOMPARE(boxCount(), boxes + 1);
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Warning);
            QCOMPARE(lastBoxText(), QStringLiteral("Удалить пользователя «ерЛАН» и все его оценки?"));
            QCOMPARE(course.read("users"), users);
            QCOMPARE(course.read("users.ini"), records);
            QCOMPARE(again.control<QComboBox>("ComboBox1")->count(), 4);
        }
        const int boxes = boxCount();
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        again.click("SpeedButton2");
        QCOMPARE(boxCount(), boxes + 2); // the question, then the information that it is done
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Information);
        QCOMPARE(lastBoxText(), QStringLiteral("Пользователь «ерЛАН» и все его оценки удалены."));
        QCOMPARE(course.read("users"), QByteArray(cp("Other\r\nЕрлан\r\nx\r\n").c_str()));
        QVERIFY(!accounts::hasRecord(cp("Ерлан")));
        QVERIFY(accounts::hasRecord("Other"));
        QCOMPARE(again.control<QComboBox>("ComboBox1")->count(), 3);
        // A wrong password deletes nothing and asks nothing: the refusal alone.
        again.type("Edit2", QStringLiteral("Other"));
        again.type("MaskEdit1", QStringLiteral("bad"));
        const int before = boxCount();
        again.click("SpeedButton2");
        QCOMPARE(boxCount(), before + 1);
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
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

    void sectionWithoutPasswordIsNoRecord() {
        CourseFolder course;
        {
            // An administrator session saves its grade array under the login at close.
            Running admin;
            admin.signInAdmin();
            ui::dialogs::answerNextBox(ui::Answer::Ok);
            admin.main()->close();
        }
        QVERIFY(course.read("users.ini").contains("[admin]"));
        // A student deleted on one computer whose grades another computer saves at close.
        storeRecord("Dana", {"4"});
        store::erase("Dana", "\\users.ini");
        accounts::saveGrades("Dana", {});
        QVERIFY(!accounts::hasRecord("Dana") && !accounts::hasRecord("admin"));
        Running run;
        for (const QString& name :
             {QStringLiteral("Admin"), QStringLiteral("ADMIN"), QStringLiteral("admin "),
              QStringLiteral("Dana"), QStringLiteral("dana")}) {
            run.signIn(name, QStringLiteral("??????"));
            QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
            QCOMPARE(lastBoxText(), kRefused);
        }
        // Deleting with the default text removes no grades saved under a name.
        const QByteArray records = course.read("users.ini");
        run.type("Edit2", QStringLiteral("Admin"));
        run.type("MaskEdit1", QStringLiteral("??????"));
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.click("SpeedButton2");
        QCOMPARE(course.read("users.ini"), records);
        // The name is free for a student to register.
        run.registerUser(QStringLiteral("Dana"), QStringLiteral("new"));
        run.signIn(QStringLiteral("Dana"), QStringLiteral("new"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
    }

    void registrationIsCheckedAgainUnderTheLock() {
        CourseFolder course;
        // Another computer has registered the name since this one looked.
        storeRecord("Ерлан", {"5"});
        const QByteArray records = course.read("users.ini");
        try {
            accounts::writeNewRecord(cp("ерЛАН"), "mine");
            QFAIL("a second registration of a name was written");
        } catch (const Error& e) {
            QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("уже зарегистрирован")));
        }
        QCOMPARE(course.read("users.ini"), records);
        accounts::writeNewRecord(cp("Ернар"), "mine");
        QVERIFY(accounts::hasRecord(cp("Ернар")));
    }

    void passwordsAreNeverShownAndKeptWhole() {
        CourseFolder course;
        Running run;
        const QString secret = QStringLiteral("sécret€λ"); // outside the code page
        const QString longPassword(int(accounts::kMaxPassword) + 1, QLatin1Char('p'));
        const int from = boxCount();
        const QByteArray users = course.read("users");
        run.registerUser(QStringLiteral("Бота"), secret);
        run.registerUser(QStringLiteral("Бота"), longPassword);
        QVERIFY(!course.exists("users.ini"));
        QCOMPARE(course.read("users"), users);
        run.registerUser(QStringLiteral("Бота"), QString(int(accounts::kMaxPassword), QLatin1Char('p')));
        QCOMPARE(lastBoxText(), QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
        run.signIn(QStringLiteral("Бота"), secret);
        run.type("MaskEdit1", secret);
        run.click("SpeedButton2");
        QVERIFY(accounts::hasRecord(cp("Бота")));
        run.signIn(QStringLiteral("Бота"), QString(int(accounts::kMaxPassword), QLatin1Char('p')));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QCOMPARE(boxCount(), from + 5);
        QVERIFY(!anyBoxSince(from, QStringLiteral("sécret")) && !anyBoxSince(from, QStringLiteral("pppp")));
    }

    void settingsApplyRefusesWhatCannotWork() {
        CourseFolder course;
        storeRecord("Марат", {"5"});
        course.write("users", cp("Марат\r\nЖаңа\r\n").c_str());
        QDir().mkpath(course.file("logs"));
        Running run;
        run.signInAdmin();
        run.trigger("Ntun");
        const QByteArray before = course.read("data/info/tumb.db");
        struct Case {
            QString login, password, journal;
        };
        const QString longPassword(int(accounts::kMaxPassword) + 1, QLatin1Char('p'));
        const QList<Case> refused = {
            {QString(), QStringLiteral("pw"), QStringLiteral("j.txt")},               // no login
            {QStringLiteral(" boss"), QStringLiteral("pw"), QStringLiteral("j.txt")}, // not a name
            {QStringLiteral("bоss"), QStringLiteral("pw"), QStringLiteral("j.txt")},  // Latin and Cyrillic
            {QStringLiteral("мАРАТ"), QStringLiteral("pw"), QStringLiteral("j.txt")}, // a recorded student
            {QStringLiteral("жаңа"), QStringLiteral("pw"), QStringLiteral("j.txt")},  // a listed name
            {QStringLiteral("boss"), longPassword, QStringLiteral("j.txt")},
            {QStringLiteral("boss"), QStringLiteral("sécret€"), QStringLiteral("j.txt")},
            {QStringLiteral("boss"), QStringLiteral("pw"), QString()},
            {QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("  ")},
            {QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("logs")}, // a folder
            {QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("LOGS")},
            {QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("new\\")},
        };
        for (const Case& c : refused) {
            const int boxes = boxCount();
            run.type("Edit3", c.login);
            run.type("Edit4", c.password);
            run.type("Edit5", c.password);
            run.type("Edit6", c.journal);
            run.click("SpeedButton7");
            QVERIFY2(boxCount() == boxes + 1, qPrintable(c.login + "|" + c.journal));
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
            QVERIFY(!lastBoxText().contains(QStringLiteral("sécret")) &&
                    !lastBoxText().contains(QStringLiteral("ppp")));
            QCOMPARE(course.read("data/info/tumb.db"), before);
        }
        run.type("Edit3", QStringLiteral("Бас"));
        run.type("Edit4", QStringLiteral("pw"));
        run.type("Edit5", QStringLiteral("pw"));
        run.type("Edit6", QStringLiteral("logs/j.txt"));
        run.click("SpeedButton7");
        QCOMPARE(course.read("data/info/tumb.db"), QByteArray(cp("Бас|pw|logs/j.txt\r\n").c_str()));
    }

    void userListIsChangedAsItIsNow() {
        CourseFolder course;
        Running run; // loads an empty list
        // Another computer registers meanwhile.
        accounts::writeNewRecord("Other", "pw");
        accounts::addToUserList("Other");
        run.registerUser(QStringLiteral("Mine"), QStringLiteral("pw"));
        QCOMPARE(course.read("users"), QByteArray("Other\r\nMine\r\n"));
        auto* combo = run.control<QComboBox>("ComboBox1");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("Other"));
        QCOMPARE(combo->currentText(), QString()); // nobody chosen
        // Another computer registers a third name, then this one deletes its own: the third stays.
        accounts::addToUserList("Third");
        run.type("Edit2", QStringLiteral("mine"));
        run.type("MaskEdit1", QStringLiteral("pw"));
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.click("SpeedButton2");
        QCOMPARE(course.read("users"), QByteArray("Other\r\nThird\r\n"));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), QStringLiteral("Third"));
        // A list whose last line has no line end gets one before the new name.
        course.write("users", "Other\r\nThird");
        run.registerUser(QStringLiteral("Fourth"), QStringLiteral("pw"));
        QCOMPARE(course.read("users"), QByteArray("Other\r\nThird\r\nFourth\r\n"));
    }

    void fourComputersRegisterAndDeleteAtOnce() {
        CourseFolder course;
        constexpr int kProcs = 4, kNames = 40;
        accounts::addToUserList("keep");
        std::vector<pid_t> kids;
        for (int k = 0; k < kProcs; ++k) {
            const pid_t pid = fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                int rc = 0;
                try {
                    // Each copy registers its names and deletes every other one again.
                    for (int i = 0; i < kNames; ++i) {
                        const std::string name = "p" + std::to_string(k) + "n" + std::to_string(i);
                        accounts::writeNewRecord(name, "pw");
                        accounts::addToUserList(name);
                        if (i % 2 == 1) {
                            store::erase(name, accounts::kRecords);
                            rc |= accounts::removeFromUserList(name) ? 0 : 1;
                        }
                    }
                } catch (...) {
                    rc = 2;
                }
                _exit(rc);
            }
            kids.push_back(pid);
        }
        for (const pid_t pid : kids) {
            int status = 0;
            QCOMPARE(waitpid(pid, &status, 0), pid);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::vector<std::string> names = textfile::readLines("users");
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected = {"keep"};
        for (int k = 0; k < kProcs; ++k)
            for (int i = 0; i < kNames; i += 2) {
                expected.push_back("p" + std::to_string(k) + "n" + std::to_string(i));
                QVERIFY(accounts::hasRecord(expected.back()));
            }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(names, expected);
    }

    void courseFolderOutsideTheCodePage() {
        CourseFolder course;
        const QString folder = course.file(QStringLiteral("café ☕"));
        QVERIFY(QDir().mkpath(folder + "/data/info"));
        QVERIFY(QFile::copy(course.file("data/info/tumb.db"), folder + "/data/info/tumb.db"));
        QVERIFY(QDir::setCurrent(folder));
        Running run;
        QCOMPARE(boxCount(), 0);
        run.registerUser(QStringLiteral("Сәуле"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Сәуле"), QStringLiteral("pw"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(QFile::exists(folder + "/users.ini") && QFile::exists(folder + "/users"));
        QCOMPARE(
            QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden).filter("users").size(),
            4); // users, users.ini and their lock files: nothing beside the folder
        // Documents are asked for under the real folder too.
        run.trigger("n1");
        QVERIFY2(run.main()->requestedUrl().toLocalFile().startsWith(folder),
                 qPrintable(run.main()->requestedUrl().toLocalFile()));
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
