// The same user scenarios in both ways of reaching the course, the course folder itself and the
// lab server (its real ortavia-server, the program's own folder empty): the same screens and boxes,
// and the same lines in the course folder afterwards.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>

#include "reports/report_form.h"
#include "store/store.h"
#include "support/modes.h"
#include "testing/testing.h"
#include "ui/components.h"

using namespace ortavia;
using namespace ortavia::testsupport;

Q_DECLARE_METATYPE(ortavia::testsupport::Mode)

namespace {

const char* const kSource = "Сколько будет 2 + 2 = ?\r\nA) 3\r\nB) 4*\r\nC) 5\r\n";

void modes() {
    QTest::addColumn<Mode>("mode");
    QTest::newRow("files") << Mode::Files;
    QTest::newRow("server") << Mode::Server;
}

QString cell(const QAbstractItemView* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

// Acts on a modal window once it is ready for the user: a window that asks the course when it is
// shown waits for the server meanwhile, and timers run during that wait.
void whenReady(QObject* window, const std::function<bool()>& ready, const std::function<void()>& act) {
    QTimer::singleShot(20, window, [=] {
        if (ready())
            act();
        else
            whenReady(window, ready, act);
    });
}

} // namespace

class TestModes : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        ui::dialogs::resetTestState();
        ui::TForm4::resetPreviewer();
    }

    void student_data() { modes(); }
    void student() {
        QFETCH(Mode, mode);
        const ModeCourse course(mode, plainTest1);
        const CourseFolder& folder = course.folder();
        const std::unique_ptr<Running> run = course.start();
        run->registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw1"));
        QCOMPARE(lastBoxText(), QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
        run->registerUser(QStringLiteral("айгүл"), QStringLiteral("pw2"));
        QCOMPARE(boxCount(), 2);
        QCOMPARE(
            folder.lines(QStringLiteral("users")).filter(QStringLiteral("гүл"), Qt::CaseInsensitive).size(),
            1);
        run->signIn(QStringLiteral("Айгүл"), QStringLiteral("wrong"));
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте правильность имени и пароля!"));
        run->signIn(QStringLiteral("Айгүл"), QStringLiteral("pw1"));
        QCOMPARE(run->visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(!run->enabled("test2"));

        // Test 1: nine right, three wrong.
        run->trigger("test1");
        QCOMPARE(run->visibleScreen(), QStringLiteral("Panel3"));
        QCOMPARE(run->control<QLabel>("LabelCounter")->text(), QStringLiteral("1 из 12"));
        for (int q = 1; q <= 12; ++q)
            run->answer(q <= 9 ? 1 : 2);
        QCOMPARE(run->visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(run->control<QLabel>("Label18")->text(), QStringLiteral("4"));
        QVERIFY(run->enabled("test2"));
        run->trigger("Ni");
        QCOMPARE(run->control<QLabel>("Label18")->text(), QStringLiteral("4"));

        const QStringList journal = folder.lines(QStringLiteral("journal.txt"));
        QCOMPARE(journal.size(), 1);
        QVERIFY2(journal[0].startsWith(QStringLiteral("Айгүл | ")) &&
                     journal[0].endsWith(QStringLiteral(" | test1 | 4")),
                 qPrintable(journal[0]));
        const QStringList log = folder.lines(QStringLiteral("answers.log"));
        QCOMPARE(log.size(), 12);
        QVERIFY2(log[11].startsWith(QStringLiteral("Айгүл | ")) &&
                     log[11].endsWith(QStringLiteral(" | test1 | 12 | 2 | 0")),
                 qPrintable(log[11]));
        course.inFolder([] { QCOMPARE(store::read(cp("Айгүл"), "test1", "\\users.ini"), std::string("4")); });
    }

    void administrator_data() { modes(); }
    void administrator() {
        QFETCH(Mode, mode);
        const ModeCourse course(mode, [](const CourseFolder& folder) {
            plainTest1(folder);
            storeRecord("Айгүл", {"5", "3", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"});
            writeUserList(folder, {"Айгүл"});
            folder.write(QStringLiteral("journal.txt"),
                         QByteArray::fromStdString(cp("Айгүл | 10:00:00 | 01.09.2026 | test1 | 5\r\n")));
        });
        const CourseFolder& folder = course.folder();
        QTemporaryDir local; // the administrator's own computer
        QFile source(local.filePath(QStringLiteral("q.txt")));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(kSource) > 0);
        source.close();
        const std::unique_ptr<Running> run = course.start();
        run->signInAdmin();
        QCOMPARE(run->visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(run->action("Ntun")->isVisible());

        // Settings.
        run->trigger("Ntun");
        QCOMPARE(run->control<QLineEdit>("Edit3")->text(), QStringLiteral("admin"));
        QCOMPARE(run->control<QLineEdit>("Edit6")->text(), QStringLiteral("journal.txt"));
        run->type("Edit4", QStringLiteral("new1"));
        run->type("Edit5", QStringLiteral("new2"));
        run->click("SpeedButton7");
        QCOMPARE(lastBoxText(), QStringLiteral("Проверьте пароль!"));
        run->type("Edit5", QStringLiteral("new1"));
        run->click("SpeedButton7");
        QCOMPARE(folder.read(QStringLiteral("data/info/tumb.db")), QByteArray("admin|new1|journal.txt\r\n"));
        run->click("SpeedButton6");

        // Journal view.
        run->trigger("N30");
        QCOMPARE(run->visibleScreen(), QStringLiteral("Panel6"));
        QCOMPARE(run->control<QPlainTextEdit>("Memo2")->toPlainText().split(QLatin1Char('\n')).first(),
                 folder.lines(QStringLiteral("journal.txt")).first());
        run->click("SpeedButton5");

        // Overview and statistics.
        run->trigger("NSvod");
        auto* overview = run->main()->findChild<QWidget*>(QStringLiteral("FormSvod"));
        QVERIFY(overview && overview->isVisible());
        const auto* grid = overview->findChild<QTableView*>(QStringLiteral("GridSvod"));
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(cell(grid, 0, 0) + cell(grid, 0, 1) + cell(grid, 0, 2), QStringLiteral("Айгүл53"));
        overview->close();
        run->trigger("NStat");
        auto* statistics = run->main()->findChild<QWidget*>(QStringLiteral("FormStat"));
        QVERIFY(statistics && statistics->isVisible());
        const auto* stat = statistics->findChild<QTableWidget*>(QStringLiteral("GridStat"));
        QStringList firstRow;
        for (int c = 0; c < stat->columnCount(); ++c)
            firstRow << cell(stat, 0, c);
        QVERIFY2(firstRow.join(QLatin1Char('|')).contains(QStringLiteral("5")),
                 qPrintable(firstRow.join('|')));
        statistics->close();

        // Options.
        run->trigger("NOpt");
        auto* options = run->main()->findChild<QWidget*>(QStringLiteral("FormOpt"));
        QVERIFY(options && options->isVisible());
        options->findChild<QCheckBox*>(QStringLiteral("CheckShuffle"))->setChecked(true);
        options->findChild<QSpinBox*>(QStringLiteral("SpinDraw"))->setValue(5);
        options->findChild<QPushButton*>(QStringLiteral("ButtonSave"))->click();
        QCOMPARE(folder.lines(QStringLiteral("data/info/options.ini")).join(QLatin1Char(',')),
                 QStringLiteral("shuffle_answers=1,draw=5"));

        // The report of the student.
        reports::UserReport seen;
        ui::TForm4::previewer = [&seen](const reports::UserReport& report, QWidget*) { seen = report; };
        ui::TOKRightDlg1* dialog = run->program.okRightDlg1.get();
        auto* names = dialog->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        whenReady(
            dialog, [names] { return names->count() > 0; },
            [dialog] {
                dialog->findChild<QComboBox*>(QStringLiteral("ComboBox1"))
                    ->setEditText(QStringLiteral("Айгүл"));
                dialog->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
            });
        run->trigger("N40");
        QCOMPARE(seen.tests[0], QStringLiteral("Тестирование №1: 5"));
        QCOMPARE(seen.total, QStringLiteral("Итого 8 баллов из 50 возможных"));

        // A test installed from a source file of this computer.
        ui::TForm2* tool = run->program.form2.get();
        whenReady(
            tool, [tool] { return tool->isVisible(); },
            [&] {
                ui::findComponentAs<QCheckBox>(tool, QStringLiteral("CheckBox1"))->setChecked(true);
                ui::findComponentAs<QSpinBox>(tool, QStringLiteral("SpinEdit1"))->setValue(7);
                ui::dialogs::answerNextOpenFile(source.fileName());
                QTest::mouseClick(ui::findComponentAs<QLineEdit>(tool, QStringLiteral("Edit10")),
                                  Qt::LeftButton);
                ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button1"))->click();
                ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button2"))->click();
            });
        const int boxes = boxCount();
        run->trigger("nred");
        QCOMPARE(boxCount(), boxes + 1);
        QVERIFY2(lastBoxText().contains(folder.file(QStringLiteral("data/tests/test7.ini"))),
                 qPrintable(lastBoxText()));
        QVERIFY(folder.exists(QStringLiteral("data/tests/test7.ini.bak")));
        course.inFolder([] { QCOMPARE(testing::question("test7", 1), cp("Сколько будет 2 + 2 = ?")); });
    }
};

ORTAVIA_TEST_MAIN(TestModes)
#include "test_modes.moc"
