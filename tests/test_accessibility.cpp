// The program for a student who uses the keyboard or a screen reader: every control the keyboard
// reaches on every screen and window has an accessible name, the labels name their fields, the
// screens have a sensible tab order and show where the focus is, and a student registers, signs
// in, takes a test and reads the grade with the keyboard alone.
#include <QAccessible>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include "reports/class_overview_form.h"
#include "reports/statistics_form.h"
#include "store/codepage.h"
#include "support/harness.h"
#include "ui/answer_button.h"
#include "ui/look.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

QString accessibleName(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name).trimmed() : QString();
}

// The shown controls of a window that can take the focus (a control whose focus goes to another
// one counts as that other one), and those of them without a name. The answers of a group count
// all: Tab reaches one of them, the arrow keys the others.
struct Walk {
    int reached = 0;
    QStringList unnamed;
};

Walk walk(QWidget* window) {
    Walk result;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->focusPolicy() == Qt::NoFocus || w->focusProxy())
            continue;
        ++result.reached;
        if (accessibleName(w).isEmpty())
            result.unnamed << QStringLiteral("%1 (%2)").arg(w->objectName(),
                                                            QLatin1String(w->metaObject()->className()));
    }
    return result;
}

} // namespace

// Every control of the window that the keyboard reaches has a name; there are at least so many.
#define CHECK_NAMED(window, where, atLeast)                                                                  \
    do {                                                                                                     \
        const Walk walked = walk(window);                                                                    \
        QVERIFY2(walked.unnamed.isEmpty(),                                                                   \
                 qPrintable(QStringLiteral(where ": no accessible name: ") + walked.unnamed.join(", ")));    \
        QVERIFY2(walked.reached >= (atLeast), where);                                                        \
    } while (false)

namespace {

// The controls that Tab visits from `from` on, as many as listed.
QStringList tabChain(const Running& run, QWidget* from, int steps) {
    from->setFocus();
    QStringList chain{run.focused()->objectName()};
    for (int i = 1; i < steps; ++i) {
        run.press(Qt::Key_Tab);
        chain << run.focused()->objectName();
    }
    return chain;
}

// The control looks different with the keyboard focus than without it.
bool showsFocus(QWidget* control, QWidget* elsewhere) {
    elsewhere->setFocus();
    const QImage without = control->grab().toImage();
    control->setFocus();
    const QImage with = control->grab().toImage();
    return control->hasFocus() && with != without;
}

void activate(QWidget* window) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// The pixels of an area of a window that change with the focus by 3:1 or more: a ring of two
// pixels around the area changes about 4 (w + h) of them, a one-pixel frame half as many.
int ringPixels(QWidget* window, const QRect& area, const std::function<void()>& focusOff,
               const std::function<void()>& focusOn) {
    focusOff();
    QApplication::processEvents();
    const QImage without = window->grab(area).toImage();
    focusOn();
    QApplication::processEvents();
    const QImage with = window->grab(area).toImage();
    int changed = 0;
    for (int y = 0; y < with.height() && y < without.height(); ++y)
        for (int x = 0; x < with.width() && x < without.width(); ++x)
            if (ui::look::contrast(with.pixelColor(x, y), without.pixelColor(x, y)) >= 3)
                ++changed;
    return changed;
}

QRect inWindow(const QWidget* w, const QRect& r) {
    return QRect(w->mapTo(w->window(), r.topLeft()), r.size());
}

// What a screen reader is told without a move of the focus: the alert of the window.
QString alert(QWidget* window) {
    QAccessibleInterface* w = QAccessible::queryAccessibleInterface(window);
    for (int i = 0; i < w->childCount(); ++i)
        if (QAccessibleInterface* c = w->child(i); c && c->role() == QAccessible::AlertMessage)
            return c->text(QAccessible::Name);
    return {};
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void webPagesReachTheScreenReader() {
        // Set by the program before the web engine starts (the tests start like the program).
        QCOMPARE(qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"), QByteArray("1"));
    }

    void qtOwnTextsAreRussian() {
        // Whatever the machine's language (the tests run under C and en_US): the framework's
        // buttons, print and file dialogs, numbers and paper sizes as a Russian reader expects.
        ui::installTranslations();
        QCOMPARE(QLocale().language(), QLocale::Russian);
        QCOMPARE(QLocale().measurementSystem(), QLocale::MetricSystem);
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes | QDialogButtonBox::No);
        QStringList texts;
        for (auto b : {QDialogButtonBox::Cancel, QDialogButtonBox::Yes, QDialogButtonBox::No})
            texts << box.button(b)->text().remove(QLatin1Char('&'));
        QCOMPARE(texts, QStringList({"Отмена", "Да", "Нет"}));
        QCOMPARE(QCoreApplication::translate("QPrintPreviewDialog", "Print"), QStringLiteral("Печать"));
    }

    void theAnswersForAScreenReader() {
        CourseFolder course;
        writeTest(QStringLiteral("test1"), {2, 1});
        Running run;
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.trigger("test1");
        QCOMPARE(alert(run.main()), QStringLiteral("Вопрос 1 из 2. Question 1"));
        // The reported area is the whole answer; its default action answers, as Enter does.
        auto* b = run.control<ui::AnswerButton>("RadioButton2");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        QCOMPARE(a->rect(), QRect(b->mapToGlobal(QPoint(0, 0)), b->size()));
        QVERIFY(a->state().checkable);
        QAccessibleActionInterface* actions = a->actionInterface();
        QVERIFY(actions);
        QCOMPARE(actions->actionNames().value(0), QAccessibleActionInterface::pressAction());
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(run.main()->questionNumber(), 2);
        QCOMPARE(alert(run.main()), QStringLiteral("Вопрос 2 из 2. Question 2"));
        // Marking is the second action; it does not answer.
        auto* first = run.control<ui::AnswerButton>("RadioButton1");
        QAccessible::queryAccessibleInterface(first)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
        QVERIFY(first->isChecked());
        QCOMPARE(run.main()->questionNumber(), 2);
        actions = QAccessible::queryAccessibleInterface(first)->actionInterface();
        actions->doAction(actions->actionNames().value(0));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(alert(run.main()), QStringLiteral("Тест окончен. Оценка: 5. Правильных ответов: 2 из 2"));
    }

    void everyWindowByKeyboardAlone() {
        CourseFolder course;
        writeUserList(course, {"Бек", "Айгүл", "Дана"});
        storeRecord("Бек", {"3"});
        storeRecord("Айгүл", {"5"});
        storeRecord("Дана", {"4"});
        Running run;
        // The about-authors window closes with Escape; the about-program dialog keeps Escape
        // ignored and closes with Enter.
        QWidget* authors = run.program.form5.get();
        authors->show();
        activate(authors);
        QTest::keyClick(authors, Qt::Key_Escape);
        QVERIFY(!authors->isVisible());
        QDialog* about = run.program.okRightDlg.get();
        about->show();
        activate(about);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(about->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!about->isVisible());

        // Tab leaves the journal's text, and the tables of the teacher's windows both ways.
        run.signInAdmin();
        run.trigger("N30");
        activate(run.main());
        run.control<QWidget>("Memo2")->setFocus();
        run.press(Qt::Key_Tab);
        QCOMPARE(run.focused()->objectName(), QStringLiteral("SpeedButton5"));
        QCOMPARE(run.control<QPlainTextEdit>("Memo2")->toPlainText().contains(QLatin1Char('\t')), false);
        run.trigger("NSvod");
        run.trigger("NStat");
        auto* overview = run.main()->findChild<ui::ClassOverview*>(QStringLiteral("FormSvod"));
        auto* statistics = run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat"));
        for (auto [window, table] :
             {std::pair<QWidget*, const char*>{overview, "GridSvod"}, {statistics, "GridStat"}}) {
            activate(window);
            auto* grid = window->findChild<QAbstractItemView*>(QString::fromLatin1(table));
            for (Qt::KeyboardModifiers m : {Qt::NoModifier, Qt::ShiftModifier}) {
                grid->setFocus();
                grid->setCurrentIndex(grid->model()->index(0, 1));
                QTest::keyClick(grid, Qt::Key_Tab, m);
                QVERIFY2(!grid->hasFocus(), table);
            }
        }
        // The order of the overview chosen from the keyboard, and shown on the headers.
        auto names = [overview] {
            QStringList list;
            for (const reports::StudentRow* r : overview->shownRows())
                list << QString::fromStdString(cp::toUtf8(r->name));
            return list;
        };
        auto* order = overview->findChild<QComboBox*>(QStringLiteral("ComboSort"));
        order->setFocus();
        QTest::keyClick(order, Qt::Key_Down); // by name
        QCOMPARE(names(), QStringList({"Айгүл", "Бек", "Дана"}));
        order->setCurrentIndex(2); // by test 1
        QCOMPARE(names(), QStringList({"Бек", "Дана", "Айгүл"}));
        QTest::keyClick(overview->findChild<QCheckBox*>(QStringLiteral("CheckDescending")), Qt::Key_Space);
        QCOMPARE(names(), QStringList({"Айгүл", "Дана", "Бек"}));
        QCOMPARE(overview->findChild<QTableView*>()->horizontalHeader()->sortIndicatorSection(), 1);
        order->setCurrentIndex(0);
        QCOMPARE(names(), QStringList({"Бек", "Айгүл", "Дана"}));

        // The print preview: its commands reached with Tab, Ctrl+P prints, Escape closes.
        bool checked = false;
        QTimer::singleShot(0, overview, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            QAction* print = preview->findChild<QAction*>(QStringLiteral("PreviewPrint"));
            QVERIFY(print);
            QCOMPARE(print->shortcut(), QKeySequence(QKeySequence::Print));
            QStringList reached;
            for (auto* button : preview->findChild<QToolBar*>()->findChildren<QToolButton*>())
                if (button->defaultAction() && button->focusPolicy() & Qt::TabFocus)
                    reached << button->defaultAction()->text();
            QVERIFY2(reached.contains(print->text()) && reached.size() >= 10, qPrintable(reached.join('|')));
            QTest::keyClick(preview, Qt::Key_Escape);
            checked = true;
        });
        ui::ClassOverview::runPreview(overview->shownTable(), overview);
        QVERIFY(checked);
    }

    void focusIsARingOfTwoPixels() {
        CourseFolder course;
        writeUserList(course, {"Бек"});
        storeRecord("Бек", {"3"});
        writeTest(QStringLiteral("test1"), {1});
        Running run;
        activate(run.main());
        run.press(Qt::Key_Tab); // the keyboard is in use
        struct Case {
            const char* what;
            QWidget* window;
            QRect area;
            std::function<void()> off, on;
        };
        auto focusing = [](QWidget* control, QWidget* elsewhere) {
            return std::pair<std::function<void()>, std::function<void()>>{
                [elsewhere] { elsewhere->setFocus(); }, [control] { control->setFocus(); }};
        };
        auto check = [](const Case& c) {
            activate(c.window);
            const int changed = ringPixels(c.window, c.area, c.off, c.on);
            const int ring = 2 * ui::look::kFocusRing * (c.area.width() + c.area.height()) * 9 / 10;
            QVERIFY2(
                changed >= ring,
                qPrintable(QStringLiteral("%1: %2 of %3").arg(QLatin1String(c.what)).arg(changed).arg(ring)));
        };
        // An ordinary button, and the menu bar after Alt.
        auto* signIn = run.control<QWidget>("SpeedButton3");
        auto [off, on] = focusing(signIn, run.control<QWidget>("Edit2"));
        check({"button", run.main(), inWindow(signIn, signIn->rect()), off, on});
        QMenuBar* bar = run.main()->menuBar();
        const QRect firstItem = inWindow(bar, bar->actionGeometry(bar->actions().value(0)));
        check({"menu bar", run.main(), firstItem, [&] { run.control<QWidget>("Edit2")->setFocus(); },
               [&] {
                   QTest::keyPress(run.focused(), Qt::Key_Alt);
                   QTest::keyRelease(run.focused(), Qt::Key_Alt);
               }});
        QTest::keyClick(bar, Qt::Key_Escape);
        // The question field.
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.trigger("test1");
        auto* question = run.control<QWidget>("Memo1");
        std::tie(off, on) = focusing(question, run.control<QWidget>("RadioButton1"));
        check({"question", run.main(), inWindow(question, question->rect()), off, on});
        run.answer(1);
        // The encipher tool's "Выход", the first control of the options, the current cell.
        QWidget* encipher = run.program.form2.get();
        encipher->show();
        auto* exit = encipher->findChild<QWidget*>(QStringLiteral("Button2"));
        std::tie(off, on) = focusing(exit, encipher->findChild<QWidget*>(QStringLiteral("Edit9")));
        check({"encipher exit", encipher, inWindow(exit, exit->rect()), off, on});
        encipher->hide();
        Running admin;
        admin.signInAdmin();
        admin.trigger("NOpt");
        QWidget* options = admin.main()->findChild<QWidget*>(QStringLiteral("FormOpt"));
        auto* shuffle = options->findChild<QWidget*>(QStringLiteral("CheckShuffle"));
        std::tie(off, on) = focusing(shuffle, options->findChild<QWidget*>(QStringLiteral("ButtonCancel")));
        check({"options", options, inWindow(shuffle, shuffle->rect()), off, on});
        admin.trigger("NSvod");
        QWidget* overview = admin.main()->findChild<QWidget*>(QStringLiteral("FormSvod"));
        auto* grid = overview->findChild<QTableView*>(QStringLiteral("GridSvod"));
        grid->setCurrentIndex(grid->model()->index(0, 2));
        std::tie(off, on) = focusing(grid, overview->findChild<QWidget*>(QStringLiteral("EditFind")));
        check(
            {"cell", overview, inWindow(grid->viewport(), grid->visualRect(grid->currentIndex())), off, on});
    }

    void everyScreenNamesItsControls() {
        CourseFolder course;
        writeTest(QStringLiteral("test1"), {1, 2});
        course.write(QStringLiteral("journal.txt"), "x | 1:00:00 | 01.01.2026 | test1 | 5\r\n");
        Running run;
        QWidget* main = run.main();
        // The sign-in screen; the labels name the fields.
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        CHECK_NAMED(main, "sign-in", 5);
        QCOMPARE(accessibleName(run.control<QWidget>("Edit2")), QStringLiteral("Қолданушы"));
        QCOMPARE(accessibleName(run.control<QWidget>("MaskEdit1")), QStringLiteral("Пароль:"));
        QCOMPARE(accessibleName(run.control<QWidget>("SpeedButton2")), QStringLiteral("Қолданушыны жою"));

        // The test screen: the question by its caption, each answer by its text.
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.trigger("test1");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
        CHECK_NAMED(main, "test", 6);
        QCOMPARE(accessibleName(run.control<QWidget>("Memo1")), QStringLiteral("Вопрос:"));
        for (int k = 1; k <= 5; ++k) {
            auto* answer = run.control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
            QCOMPARE(accessibleName(answer),
                     QStringLiteral("%1) answer %2 of 1").arg(QChar('A' + k - 1)).arg(k));
            QCOMPARE(QAccessible::queryAccessibleInterface(answer)->role(), QAccessible::RadioButton);
        }
        run.answer(2);
        QCOMPARE(accessibleName(run.control<QWidget>("RadioButton1")), QStringLiteral("A) answer 1 of 2"));
        run.answer(2);

        // The progress screen.
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        CHECK_NAMED(main, "progress", 1);
        run.click("SpeedButton4");

        // The administrator's screens: the progress screen with the picker, the settings, the
        // text page.
        Running admin;
        admin.signInAdmin();
        admin.trigger("Ni");
        CHECK_NAMED(admin.main(), "progress, administrator", 2);
        QCOMPARE(accessibleName(admin.control<QWidget>("ComboBox1")),
                 QStringLiteral("Выберите имя пользователя:"));
        admin.trigger("N30");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel6"));
        CHECK_NAMED(admin.main(), "text page", 2);
        admin.trigger("Ntun");
        QCOMPARE(admin.visibleScreen(), QStringLiteral("Panel7"));
        admin.control<QWidget>("Panel6")->setVisible(false); // only the settings, not the page beneath
        CHECK_NAMED(admin.main(), "settings", 6);
        const char* fields[][2] = {{"Edit3", "Введите логин администратора:"},
                                   {"Edit4", "Введите пароль администратора"},
                                   {"Edit5", "Введите пароль еще раз:"},
                                   {"Edit6", "Укажите имя файл отчета"}};
        for (const auto& [field, label] : fields)
            QCOMPARE(accessibleName(admin.control<QWidget>(field)), QString::fromUtf8(label));
    }

    void everyWindowNamesItsControls() {
        CourseFolder course;
        Running run;
        struct Window {
            QWidget* window;
            const char* name;
            int atLeast;
        };
        const Window windows[] = {
            {run.program.okRightDlg1.get(), "report chooser", 3},
            {run.program.form2.get(), "encipher tool", 4},
            {run.program.okRightDlg.get(), "about the program", 1},
            {run.program.form5.get(), "about the authors", 0},
        };
        for (const Window& w : windows) {
            w.window->show();
            QVERIFY(w.window->isVisible());
            const Walk walked = walk(w.window);
            QVERIFY2(walked.unnamed.isEmpty(), qPrintable(QString::fromLatin1(w.name) + QStringLiteral(": ") +
                                                          walked.unnamed.join(QStringLiteral(", "))));
            QVERIFY2(walked.reached >= w.atLeast, w.name);
            w.window->hide();
        }
        run.program.okRightDlg1->show();
        QCOMPARE(accessibleName(ui::findComponentAs<QWidget>(run.program.okRightDlg1.get(),
                                                             QStringLiteral("ComboBox1"))),
                 QStringLiteral("Выберите пользователя:"));
        run.program.okRightDlg1->hide();
        run.program.form2->show();
        QCOMPARE(
            accessibleName(ui::findComponentAs<QWidget>(run.program.form2.get(), QStringLiteral("Edit9"))),
            QStringLiteral("Название теста:"));
        QCOMPARE(
            accessibleName(ui::findComponentAs<QWidget>(run.program.form2.get(), QStringLiteral("Edit10"))),
            QStringLiteral("Файл вопросов:"));
        run.program.form2->hide();
    }

    void tabOrderFollowsTheScreens() {
        CourseFolder course;
        Running run;
        QCOMPARE(run.focused(), run.control<QWidget>("Edit2")); // the name first
        QCOMPARE(
            tabChain(run, run.control<QWidget>("Edit2"), 6),
            QStringList({"Edit2", "MaskEdit1", "SpeedButton3", "SpeedButton1", "SpeedButton2", "Edit2"}));
        run.signInAdmin();
        run.trigger("Ntun");
        run.control<QWidget>("Panel1")->setVisible(false); // the viewer beneath the settings
        QCOMPARE(tabChain(run, run.control<QWidget>("Edit3"), 7),
                 QStringList({"Edit3", "Edit4", "Edit5", "Edit6", "SpeedButton7", "SpeedButton6", "Edit3"}));
        // The sign-in screen brought back puts the keyboard on the name.
        run.control<QWidget>("Edit6")->setFocus();
        run.main()->NaFormuAvtorizaziiClick();
        QCOMPARE(run.focused(), run.control<QWidget>("Edit2"));
    }

    void focusIsVisible() {
        CourseFolder course;
        writeTest(QStringLiteral("test1"), {1});
        Running run;
        activate(run.main());
        // Styles draw a focus frame once the keyboard has moved the focus, as it does here.
        run.press(Qt::Key_Tab);
        auto* name = run.control<QWidget>("Edit2");
        for (const char* control : {"MaskEdit1", "SpeedButton3", "SpeedButton1", "SpeedButton2"})
            QVERIFY2(showsFocus(run.control<QWidget>(control), name), control);
        QVERIFY(showsFocus(name, run.control<QWidget>("MaskEdit1")));
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.trigger("test1");
        for (int k = 1; k <= 5; ++k) {
            auto* answer = run.control<QWidget>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
            QVERIFY2(showsFocus(answer, run.control<QWidget>("Memo1")), qPrintable(answer->objectName()));
        }
        run.answer(1);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        auto* back = run.control<QWidget>("SpeedButton4");
        QCOMPARE(run.focused(), back);
        QWidget* elsewhere = run.control<QWidget>("ComboBox1");
        elsewhere->setVisible(true); // somewhere else to put the focus
        QVERIFY(showsFocus(back, elsewhere));
    }

    void aStudentWithTheKeyboardAlone() {
        CourseFolder course;
        writeTest(QStringLiteral("test1"), {3, 1, 2});
        Running run;
        // Register: the name, Tab, the password, Tab twice to "Жаңа қолданушы", Space.
        run.typeKeys(QStringLiteral("Дана"));
        run.press(Qt::Key_Tab);
        run.typeKeys(QStringLiteral("pw"));
        run.press(Qt::Key_Tab);
        run.press(Qt::Key_Tab);
        QCOMPARE(run.focused()->objectName(), QStringLiteral("SpeedButton1"));
        run.press(Qt::Key_Space);
        QCOMPARE(lastBoxText(), QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
        // Sign in: back to "Әрі қарай>>".
        run.press(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(run.focused()->objectName(), QStringLiteral("SpeedButton3"));
        run.press(Qt::Key_Space);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        // The test: each answer found with the arrow keys and given with Enter.
        run.trigger("test1");
        for (const int right : {3, 1, 2}) {
            for (int k = 1; k < right; ++k)
                run.press(Qt::Key_Down);
            run.press(Qt::Key_Return);
        }
        // The grade, and the count of right answers, on the progress screen.
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel2"));
        QCOMPARE(run.control<QLabel>("Label18")->text(), QStringLiteral("5"));
        QCOMPARE(run.control<QLabel>("LabelRight")->text(), QStringLiteral("Правильных ответов: 3 из 3"));
        run.press(Qt::Key_Space);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(run.action("N0")->isVisible());
    }
};

ORTAVIA_TEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
