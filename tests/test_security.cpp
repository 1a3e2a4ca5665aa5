// What a student, or a program of the student's session, can reach: the administrator's commands
// and the controls of hidden screens do nothing before sign-in and for a student (driven as an
// accessibility tool or a script drives them), the close saves the student's own grades only, and
// texts from files and users are shown as they stand, never as markup or links.
#include <QAccessible>
#include <QCheckBox>
#include <QDirIterator>
#include <QSpinBox>
#include <QTextDocument>
#include <QTimer>

#include "store/store.h"
#include "support/harness.h"
#include "testing/options_form.h"
#include "testing/testing.h"
#include "ui/answer_button.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kJournal = QStringLiteral("journal.txt");

// Every file of the course folder with its bytes.
QMap<QString, QByteArray> snapshot(const CourseFolder& course) {
    QMap<QString, QByteArray> files;
    QDirIterator it(course.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!path.endsWith(QLatin1String(".lock")))
            files[QDir(course.path()).relativeFilePath(path)] =
                course.read(QDir(course.path()).relativeFilePath(path));
    }
    return files;
}

// Closes whatever modal window a command opens, so that a command that should do nothing cannot
// block the test; says whether there was one.
struct ModalWatch {
    bool seen = false;
    void arm() {
        QTimer::singleShot(0, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                seen = true;
                w->close();
            }
        });
    }
};

void pressByAccessibility(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (a && a->actionInterface())
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
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
        std::vector<std::string> grades(12, "0");
        grades[0] = "2";
        storeRecord("Асан", grades);
        storeRecord("Бота", std::vector<std::string>(12, "4"));
        course.write(QStringLiteral("source.txt"), "Q?\r\nA) a*\r\nB) b\r\nC) c\r\nD) d\r\nE) e\r\n");
        writeTest(QStringLiteral("test1"), {1});
        const QMap<QString, QByteArray> before = snapshot(course);
        std::optional<Running> program;
        program.emplace();
        Running& run = *program;
        if (student)
            run.signIn(QStringLiteral("Асан"), QStringLiteral("pw"));
        const QString screen = run.visibleScreen();

        // The settings screen's fields and «Применить»: a new administrator login.
        run.type("Edit3", QStringLiteral("Асан"));
        run.type("Edit4", QStringLiteral("x"));
        run.type("Edit5", QStringLiteral("x"));
        auto* apply = run.control<QPushButton>("SpeedButton7");
        QVERIFY(!apply->isEnabled());
        apply->click();
        pressByAccessibility(apply);
        // The user picker over the progress screen: another student's grades.
        auto* picker = run.control<QComboBox>("ComboBox1");
        QVERIFY(!picker->isEnabled());
        picker->setCurrentIndex(1);
        emit picker->activated(1);
        picker->lineEdit()->setText(QStringLiteral("Б"));
        emit picker->lineEdit()->textEdited(QStringLiteral("Б"));
        // The administrator's menu commands, hidden yet triggered.
        ModalWatch modal;
        for (const char* command : {"Ntun", "N30", "N40", "NSvod", "NStat", "NOpt", "nred"}) {
            modal.arm();
            run.trigger(command);
            QCoreApplication::processEvents();
            QVERIFY2(!modal.seen, command);
            QVERIFY2(run.visibleScreen() == screen, command);
        }
        QVERIFY(!run.main()->findChild<QDialog*>(QStringLiteral("FormOpt")));
        // The windows made at start-up and only hidden: the encipher tool installing a test, the
        // report of another student, and the options window's save.
        auto* tool = run.program.form2.get();
        ui::findComponentAs<QLineEdit>(tool, QStringLiteral("Edit10"))
            ->setText(course.file(QStringLiteral("source.txt")));
        ui::findComponentAs<QCheckBox>(tool, QStringLiteral("CheckBox1"))->setChecked(true);
        ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button1"))->click();
        auto* report = run.program.okRightDlg1.get();
        ui::findComponentAs<QComboBox>(report, QStringLiteral("ComboBox1"))
            ->setEditText(QStringLiteral("Бота"));
        modal.arm();
        ui::findComponentAs<QPushButton>(report, QStringLiteral("OKBtn"))->click();
        QCoreApplication::processEvents();
        QVERIFY(!modal.seen);
        QVERIFY(run.main()->reportUserName.empty());
        auto* options = ui::TestOptions::open(run.main());
        options->findChild<QSpinBox*>(QStringLiteral("SpinDraw"))->setValue(3);
        QVERIFY(!options->save());
        options->close();
        // A test started before sign-in has nobody to grade.
        if (!student) {
            run.trigger("test1");
            QCOMPARE(run.visibleScreen(), screen);
            run.answer(1);
        }

        QCOMPARE(boxCount(), 0);
        QCOMPARE(int(run.main()->grades()[0]), student ? 2 : 0);
        QCOMPARE(int(run.main()->grades()[1]), 0);
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.main()->close();
        program.reset();
        const QMap<QString, QByteArray> after = snapshot(course);
        QCOMPARE(after.keys(), before.keys());
        for (auto it = before.begin(); it != before.end(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    void screensTakeInputOnlyWhenSeen() {
        CourseFolder course;
        {
            Running admin;
            auto* apply = admin.control<QPushButton>("SpeedButton7");
            auto* signIn = admin.control<QPushButton>("SpeedButton3");
            auto* back = admin.control<QPushButton>("SpeedButton4");
            auto* picker = admin.control<QComboBox>("ComboBox1");
            QVERIFY(signIn->isEnabled() && !back->isEnabled());
            QVERIFY(QAccessible::queryAccessibleInterface(apply)->state().disabled);
            admin.signInAdmin();
            QVERIFY(!signIn->isEnabled());
            admin.trigger("Ntun");
            QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel7"));
            QVERIFY(apply->isEnabled());
            admin.trigger("Ni"); // beneath the settings screen: not yet seen
            QVERIFY(!picker->isEnabled() && !back->isEnabled());
            admin.click("SpeedButton6");
            QVERIFY(!apply->isEnabled());
            admin.trigger("Ni");
            QVERIFY(picker->isEnabled() && back->isEnabled());
        }
        // «Авторизация формаға» is the student's way back to the sign-in screen before sign-in.
        Running student;
        student.trigger("N111");
        QVERIFY(!student.control<QPushButton>("SpeedButton3")->isEnabled());
        student.trigger("NaFormuAvtorizazii");
        QVERIFY(student.control<QPushButton>("SpeedButton3")->isEnabled());
    }

    // Markup in each source of a shown text stays literal.
    void textsFromFilesAreShownLiterally_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("link") << QStringLiteral("<a href=x>y</a>");
        QTest::newRow("bold") << QStringLiteral("<b>x</b>");
    }
    void textsFromFilesAreShownLiterally() {
        QFETCH(QString, text);
        CourseFolder course;
        course.write(
            QStringLiteral("data/info/deployment.txt"),
            (QStringLiteral("institution = ") + text + QStringLiteral("\ncity = ") + text + "\n").toUtf8());
        course.write(QStringLiteral("data/info/options.ini"),
                     (QStringLiteral("draw=") + text + "\r\n").toUtf8());
        Running run;
        const auto literal = [&](QLabel* label) {
            return label->text().contains(text) && label->textFormat() == Qt::PlainText;
        };
        QVERIFY(literal(ui::findComponentAs<QLabel>(run.program.form3.get(), QStringLiteral("Label1"))));
        QVERIFY(literal(ui::findComponentAs<QLabel>(run.program.okRightDlg.get(), QStringLiteral("Label5"))));
        QVERIFY(literal(ui::findComponentAs<QLabel>(run.program.form5.get(), QStringLiteral("Label3"))));

        run.registerUser(text, QStringLiteral("pw"));
        run.signIn(text, QStringLiteral("pw"));
        QCOMPARE(boxCount(), 1); // registered
        run.trigger("Ni");
        QCOMPARE(run.control<QLabel>("Label5")->text(), text);
        QVERIFY(literal(run.control<QLabel>("Label5")));

        store::Batch test(testing::testFileName("test1"));
        test.write("1", "q", cp("Q"));
        for (int k = 1; k <= 5; ++k)
            test.write("1", "a" + std::to_string(k), text.toStdString());
        test.write("1", "ap", "1");
        test.write("inf", "vsego", "1");
        test.commit();
        run.trigger("test1");
        QCOMPARE(boxCount(), 2); // the options file's bad line
        const ui::ShownBox& box = ui::dialogs::shownBoxes().back();
        QVERIFY2(box.text.contains(text), qPrintable(box.text));
        QCOMPARE(box.format, Qt::PlainText);
        QTextDocument tip;
        tip.setHtml(run.control<ui::AnswerButton>("RadioButton1")->toolTip());
        QCOMPARE(tip.toPlainText(), text);
    }
};

ORTAVIA_TEST_MAIN(SecurityTest)
#include "test_security.moc"
