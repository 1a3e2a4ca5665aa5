// What a student, or a program of the student's session, can reach: administrator commands and the
// controls of hidden screens do nothing before sign-in and for a student, the close saves only the
// student's own grades, and texts from files and users are shown as they stand.
#include <QAccessible>
#include <QCheckBox>
#include <QDirIterator>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "store/store.h"
#include "support/harness.h"
#include "testing/options_form.h"
#include "testing/testing.h"
#include "ui/answer_button.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

QMap<QString, QByteArray> files(const CourseFolder& course) {
    QMap<QString, QByteArray> all;
    QDirIterator it(course.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        if (const QString f = QDir(course.path()).relativeFilePath(it.next());
            !f.endsWith(QLatin1String(".lock")))
            all[f] = course.read(f);
    return all;
}

template <typename T> T* in(QWidget* window, const char* name) {
    return ui::findComponentAs<T>(window, QString::fromLatin1(name));
}

} // namespace

class SecurityTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void hiddenAdministratorControlsDoNothing_data() {
        QTest::addColumn<bool>("student");
        QTest::newRow("before sign-in") << false;
        QTest::newRow("student") << true;
    }
    void hiddenAdministratorControlsDoNothing() {
        QFETCH(bool, student);
        CourseFolder course;
        writeUserList(course, {"Асан", "Бота"});
        std::vector<std::string> grades(11, "0");
        grades.insert(grades.begin(), "2");
        storeRecord("Асан", grades);
        storeRecord("Бота", std::vector<std::string>(12, "4"));
        course.write(QStringLiteral("q.txt"), "Q?\r\nA) a*\r\nB) b\r\n");
        writeTest(QStringLiteral("test1"), {1});
        const QMap<QString, QByteArray> before = files(course);
        {
            Running run;
            if (student)
                run.signIn(QStringLiteral("Асан"), QStringLiteral("pw"));
            const QString screen = run.visibleScreen();
            int modal = 0; // modal windows opened, each closed at once
            QTimer watch;
            connect(&watch, &QTimer::timeout, [&modal] {
                if (QWidget* w = QApplication::activeModalWidget()) {
                    ++modal;
                    w->close();
                }
            });
            watch.start(0);
            // The settings screen's «Применить», the picker over the progress screen, the menus.
            run.type("Edit3", QStringLiteral("Асан"));
            auto* apply = run.control<QPushButton>("SpeedButton7");
            QVERIFY(QAccessible::queryAccessibleInterface(apply)->state().disabled);
            apply->click();
            auto* picker = run.control<QComboBox>("ComboBox1");
            QVERIFY(!picker->isEnabled());
            picker->setCurrentIndex(1);
            emit picker->activated(1);
            emit picker->lineEdit()->textEdited(QStringLiteral("Б"));
            for (const char* command : {"Ntun", "N30", "N40", "NSvod", "NStat", "NOpt", "nred"})
                run.trigger(command);
            if (!student)
                run.trigger("test1"); // nobody to grade
            QCoreApplication::processEvents();
            QCOMPARE(run.visibleScreen(), screen);
            QVERIFY(!run.main()->findChild<QDialog*>(QStringLiteral("FormOpt")));
            // The windows made at start-up: installing a test, another student's report; the options' save.
            QWidget* tool = run.program.form2.get();
            in<QLineEdit>(tool, "Edit10")->setText(course.file(QStringLiteral("q.txt")));
            in<QCheckBox>(tool, "CheckBox1")->setChecked(true);
            in<QPushButton>(tool, "Button1")->click();
            in<QComboBox>(run.program.okRightDlg1.get(), "ComboBox1")->setEditText(QStringLiteral("Бота"));
            in<QPushButton>(run.program.okRightDlg1.get(), "OKBtn")->click();
            QVERIFY(!ui::TestOptions::open(run.main())->save());
            QCoreApplication::processEvents();
            QCOMPARE(modal, 0);
            QCOMPARE(boxCount(), 0);
            QCOMPARE(int(run.main()->grades()[0]), student ? 2 : 0);
            ui::dialogs::answerNextBox(ui::Answer::Ok);
            run.main()->close();
        }
        QVERIFY(files(course) == before);
    }

    void screensTakeInputOnlyWhenSeen() {
        CourseFolder course;
        Running run;
        auto* signIn = run.control<QPushButton>("SpeedButton3");
        run.trigger("N111");
        QVERIFY(!signIn->isEnabled());
        run.trigger("NaFormuAvtorizazii");
        QVERIFY(signIn->isEnabled());
        run.signInAdmin();
        QVERIFY(!signIn->isEnabled());
        run.trigger("Ntun");
        QVERIFY(run.control<QPushButton>("SpeedButton7")->isEnabled());
        run.trigger("Ni"); // beneath the settings screen: not seen yet
        QVERIFY(!run.control<QComboBox>("ComboBox1")->isEnabled());
        run.click("SpeedButton6");
        QVERIFY(!run.control<QPushButton>("SpeedButton7")->isEnabled());
        run.trigger("Ni");
        QVERIFY(run.control<QComboBox>("ComboBox1")->isEnabled());
    }

    void textsFromFilesAreShownLiterally_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("link") << QStringLiteral("<a href=x>y</a>");
        QTest::newRow("bold") << QStringLiteral("<b>x</b>");
    }
    void textsFromFilesAreShownLiterally() {
        QFETCH(QString, text);
        CourseFolder course;
        course.write(QStringLiteral("data/info/deployment.txt"),
                     ("institution = " + text + "\ncity = " + text).toUtf8());
        course.write(QStringLiteral("data/info/options.ini"), ("draw=" + text).toUtf8());
        store::Batch test(testing::testFileName("test1"));
        for (const char* key : {"q", "a1"})
            test.write("1", key, text.toStdString());
        test.write("1", "ap", "1");
        test.write("inf", "vsego", "1");
        test.commit();
        Running run;
        run.registerUser(text, QStringLiteral("pw"));
        run.signIn(text, QStringLiteral("pw"));
        run.trigger("Ni");
        for (QLabel* label : {in<QLabel>(run.program.form3.get(), "Label1"),
                              in<QLabel>(run.program.okRightDlg.get(), "Label5"),
                              in<QLabel>(run.program.form5.get(), "Label3"), run.control<QLabel>("Label5")})
            QVERIFY(label->text().contains(text) && label->textFormat() == Qt::PlainText);
        run.trigger("test1");
        QVERIFY(lastBoxText().contains(text)); // the options file's bad line
        QCOMPARE(ui::dialogs::shownBoxes().back().format, Qt::PlainText);
        // The question and the answer typeset from the escaped text: the characters as written.
        QCOMPARE(run.control<QTextEdit>("Memo1")->toPlainText(), text);
        QCOMPARE(run.control<ui::AnswerButton>("RadioButton1")->accessibleName(), text);
        QVERIFY(run.control<ui::AnswerButton>("RadioButton1")->toolTip().isEmpty());
    }
};

ORTAVIA_TEST_MAIN(SecurityTest)
#include "test_security.moc"
