// Start-up, the title screen, the stacked screens, the menu and the exit confirmation.
#include <QMenuBar>
#include <QTimer>
#include <QTranslator>
#include <QWebEngineView>
#include <sys/stat.h>

#include "app/tform3.h"
#include "docs/catalogue.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void windowsAreCreatedOnceWithTheirCaptions() {
        CourseFolder course;
        Running run(false);
        QCOMPARE(run.main()->windowTitle(), QStringLiteral("Ортавия"));
        QCOMPARE(run.program.form2->windowTitle(), QStringLiteral("Шифрование тестовых вопросов"));
        QCOMPARE(run.program.form3->windowTitle(), QStringLiteral("Титульный лист"));
        QCOMPARE(run.program.okRightDlg->windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(run.program.okRightDlg1->windowTitle(), QStringLiteral("Отчет по пользователю"));
        QCOMPARE(run.program.form5->windowTitle(), QStringLiteral("Об авторе"));
        // Before the title screen closes the main window is hidden.
        QVERIFY(!run.main()->isVisible());
        QCOMPARE(run.program.form3->size(), QSize(719, 655));
        QCOMPARE(run.program.form3->timer()->interval(), 3000);
        QVERIFY(run.program.form3->timer()->isActive());
    }

    void titleScreenClosedEarlyRevealsTheSignInScreen() {
        CourseFolder course;
        Running run(false);
        bool visibleWhenTitleGone = false;
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(50, run.program.form3.get(), &QWidget::close);
        connect(run.program.form3.get(), &QDialog::finished, this,
                [&] { visibleWhenTitleGone = run.main()->isVisible(); });
        run.program.showTitle();
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(visibleWhenTitleGone);
        QVERIFY(run.main()->isVisible());
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QVERIFY(!run.action("N0")->isVisible());
    }

    void titleTimerClosesTheTitleScreen() {
        CourseFolder course;
        Running run(false);
        QElapsedTimer clock;
        clock.start();
        run.program.showTitle();
        QVERIFY(clock.elapsed() >= 2500);
        QVERIFY(run.main()->isVisible());
    }

    void menuFollowsTheTable() {
        CourseFolder course;
        Running run;
        for (const docs::MenuEntry& e : docs::menuEntries()) {
            QAction* a = run.action(e.name);
            QCOMPARE(a->text(), QString::fromUtf8(e.caption));
            QVERIFY2(ui::itemEnabled(a), e.name);
            if (std::string_view(e.name) != "N0")
                QCOMPARE(a->isVisible(), e.visible);
        }
        // Menu bar order.
        QStringList top;
        for (QAction* a : run.main()->menuBar()->actions())
            top << a->objectName();
        QCOMPARE(top, QStringList({"N0", "nlab", "Nprak", "N5", "Nrk", "N8", "Nadm", "NaFormuAvtorizazii",
                                   "N21", "Ne"}));
        // In the lectures menu each test follows its lecture, N6 last.
        QStringList lectures;
        for (QAction* a : run.action("N0")->menu()->actions())
            lectures << a->objectName();
        QCOMPARE(lectures.size(), 21);
        QCOMPARE(lectures.mid(0, 4), QStringList({"n1", "test1", "N2", "test2"}));
        QCOMPARE(lectures.last(), QStringLiteral("N6"));
        QCOMPARE(run.action("Nprak")->menu()->actions().size(), 16);
        QCOMPARE(run.action("nlab")->menu()->actions().size(), 17);
        QCOMPARE(run.action("N5")->menu()->actions().size(), 14);
    }

    void screenCommandsFollowTheStack() {
        CourseFolder course;
        Running run;
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        // A document before sign-in shows the viewer; the sign-in screen comes back with its texts.
        run.type("Edit2", QStringLiteral("Айгүл"));
        run.type("MaskEdit1", QStringLiteral("секрет"));
        run.trigger("N111");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        run.trigger("NaFormuAvtorizazii");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QCOMPARE(run.control<QLineEdit>("Edit2")->text(), QStringLiteral("Айгүл"));
        QCOMPARE(run.control<QLineEdit>("MaskEdit1")->text(), QStringLiteral("секрет"));

        // The settings screen (the administrator's) stays in front while commands run beneath it.
        run.signInAdmin();
        run.trigger("Ntun");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel7"));
        run.trigger("N112");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel7"));
        QVERIFY(run.control<QWidget>("Panel1")->isVisibleTo(run.main()));
        run.trigger("Ni");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel7"));
        run.click("SpeedButton6");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        // "Назад" only hides Panel7 and shows Panel1: the progress screen chosen beneath stays
        // visible under the viewer.
        QVERIFY(run.control<QWidget>("Panel2")->isVisibleTo(run.main()));

        run.trigger("Ni");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        run.trigger("NaFormuAvtorizazii");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        run.trigger("Ntun");
        run.trigger("N17");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(!run.control<QWidget>("Panel4")->isVisibleTo(run.main()));
    }

    void exitAsksForConfirmation() {
        CourseFolder course;
        Running run;
        QSignalSpy closed(run.main(), &ui::TForm1::closed);
        ui::dialogs::answerNextBox(ui::Answer::Cancel);
        run.trigger("Ne");
        QCOMPARE(lastBoxText(), QStringLiteral("Вы действительно хотите выйти из программы?"));
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Warning);
        QCOMPARE(ui::dialogs::shownBoxes().back().caption, QStringLiteral("Warning"));
        QVERIFY(run.main()->isVisible());
        QCOMPARE(closed.count(), 0);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));

        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.trigger("Ne");
        QCOMPARE(closed.count(), 1);
        QVERIFY(!run.main()->isVisible());
    }

    void gradesThatCannotBeWrittenAtCloseOfferALeaveWithoutSaving() {
        CourseFolder course;
        Running run;
        run.registerUser(QStringLiteral("Арман"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Арман"), QStringLiteral("pw"));
        QSignalSpy closed(run.main(), &ui::TForm1::closed);
        QVERIFY(::chmod(course.file(QStringLiteral("users.ini")).toLocal8Bit().constData(), 0444) == 0);
        // Confirmed, the write fails, and Cancel (the default) stays.
        const int from = boxCount();
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.trigger("Ne");
        QCOMPARE(boxCount(), from + 3);
        QCOMPARE(ui::dialogs::shownBoxes()[from + 1].kind, ui::BoxKind::Error);
        QCOMPARE(lastBoxText(), QStringLiteral("Выйти без сохранения оценок?"));
        QCOMPARE(closed.count(), 0);
        QVERIFY(run.main()->isVisible());
        // OK leaves without the grades.
        for (int i = 0; i < 3; ++i)
            ui::dialogs::answerNextBox(ui::Answer::Ok);
        run.trigger("Ne");
        QCOMPARE(closed.count(), 1);
    }

    void missingUserListIsAnEmptyList() {
        CourseFolder course;
        QFile::remove(course.file("users"));
        Running run;
        QCOMPARE(boxCount(), 0);
        QCOMPARE(run.control<QComboBox>("ComboBox1")->count(), 0);
        // The settings were loaded all the same.
        QCOMPARE(run.main()->adminLogin(), std::string("admin"));
    }

    void missingSettingsFileStopsTheShowHandler() {
        CourseFolder course;
        QFile::remove(course.file("data/info/tumb.db"));
        course.write("users", "one\r\ntwo\r\n");
        Running run;
        QCOMPARE(boxCount(), 1);
        QCOMPARE(lastBoxText(), QStringLiteral("File not found"));
        QCOMPARE(run.control<QComboBox>("ComboBox1")->count(), 2);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QVERIFY(run.main()->adminLogin().empty());
    }

    void componentsAreFoundWithoutRegardToCase() {
        CourseFolder course;
        Running run;
        QCOMPARE(ui::findComponent(run.main(), QStringLiteral("n2")), run.action("N2"));
        QCOMPARE(ui::findComponent(run.main(), QStringLiteral("radiobutton3")),
                 static_cast<QObject*>(run.control<QWidget>("RadioButton3")));
        QVERIFY(!ui::findComponent(run.main(), QStringLiteral("NoSuchThing")));
    }

    void frameworkWindowsSpeakRussian() {
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("Open"));
        ui::installTranslations();
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("Открыть"));
        QCOMPARE(QCoreApplication::translate("QPrintPreviewDialog", "Print"), QStringLiteral("Печать"));
        for (QTranslator* t : qApp->findChildren<QTranslator*>())
            QCoreApplication::removeTranslator(t);
    }
};

ORTAVIA_TEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
