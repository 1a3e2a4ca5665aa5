// The program for a student who uses the keyboard or a screen reader: every control the keyboard
// reaches on every screen and window has an accessible name, the labels name their fields, the
// screens have a sensible tab order and show where the focus is, and a student registers, signs
// in, takes a test and reads the grade with the keyboard alone.
#include <QAccessible>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
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

// The pixels of a control that change by 3:1 or more when it takes the focus from another: a ring
// of two pixels changes about 4 (w + h) of them, a one-pixel frame half as many.
int ringPixels(QWidget* control, QWidget* elsewhere, QWidget* drawn, QRect area) {
    activate(control->window());
    const QImage without = (elsewhere->setFocus(), drawn->grab(area).toImage());
    const QImage with = (control->setFocus(), drawn->grab(area).toImage());
    int changed = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            changed += ui::look::contrast(with.pixelColor(x, y), without.pixelColor(x, y)) >= 3;
    return changed;
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

    void startsForAScreenReaderAndInRussian() {
        // The web engine shows pages to a screen reader (set before it starts, as the tests start
        // like the program); the framework's own texts and numbers are Russian whatever the
        // machine's language (the tests run under C and en_US).
        QCOMPARE(qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"), QByteArray("1"));
        ui::installTranslations();
        QCOMPARE(QLocale().language(), QLocale::Russian);
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text() + box.button(QDialogButtonBox::Yes)->text(),
                 QStringLiteral("Отмена&Да"));
    }

    void theAnswersForAScreenReader() {
        CourseFolder course;
        writeTest(QStringLiteral("test1"), {2, 1});
        Running run;
        run.signInAdmin();
        run.trigger("test1");
        QCOMPARE(alert(run.main()), QStringLiteral("Вопрос 1 из 2. Question 1"));
        // The whole answer is its area; its default action answers, the second one marks it.
        auto* b = run.control<ui::AnswerButton>("RadioButton2");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        QCOMPARE(a->rect(), QRect(b->mapToGlobal(QPoint(0, 0)), b->size()));
        QCOMPARE(a->actionInterface()->actionNames().mid(0, 2),
                 QStringList({QAccessibleActionInterface::pressAction(),
                              QAccessibleActionInterface::toggleAction()}));
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(b->isChecked());
        QCOMPARE(run.main()->questionNumber(), 1);
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(alert(run.main()), QStringLiteral("Вопрос 2 из 2. Question 2"));
        a = QAccessible::queryAccessibleInterface(run.control<ui::AnswerButton>("RadioButton1"));
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(alert(run.main()), QStringLiteral("Тест окончен. Оценка: 5. Правильных ответов: 2 из 2"));
    }

    void everyWindowByKeyboardAlone() {
        CourseFolder course;
        writeUserList(course, {"Бек", "Айгүл", "Дана"});
        for (auto [name, grade] : {std::pair{"Бек", "3"}, {"Айгүл", "5"}, {"Дана", "4"}})
            storeRecord(name, {grade});
        Running run;
        // Escape closes the about-authors window (the about-program dialog closes with Enter).
        run.program.form5->show();
        activate(run.program.form5.get());
        QTest::keyClick(run.program.form5.get(), Qt::Key_Escape);
        QVERIFY(!run.program.form5->isVisible());
        // Tab leaves the journal's text and, both ways, the tables of the teacher's windows.
        run.signInAdmin();
        run.trigger("N30");
        activate(run.main());
        run.control<QWidget>("Memo2")->setFocus();
        run.press(Qt::Key_Tab);
        QCOMPARE(run.focused()->objectName(), QStringLiteral("SpeedButton5"));
        run.trigger("NSvod");
        run.trigger("NStat");
        auto* overview = run.main()->findChild<ui::ClassOverview*>(QStringLiteral("FormSvod"));
        QWidget* statistics = run.main()->findChild<QWidget*>(QStringLiteral("FormStat"));
        for (auto* grid : {overview->findChild<QAbstractItemView*>(QStringLiteral("GridSvod")),
                           statistics->findChild<QAbstractItemView*>(QStringLiteral("GridStat"))})
            for (Qt::KeyboardModifiers m : {Qt::NoModifier, Qt::ShiftModifier}) {
                activate(grid->window());
                grid->setFocus();
                grid->setCurrentIndex(grid->model()->index(0, 1));
                QTest::keyClick(grid, Qt::Key_Tab, m);
                QVERIFY2(!grid->hasFocus(), qPrintable(grid->objectName()));
            }
        // The overview's order from the keyboard: the column, then the direction.
        auto names = [overview] {
            QStringList list;
            for (const reports::StudentRow* r : overview->shownRows())
                list << QString::fromStdString(cp::toUtf8(r->name));
            return list.join(' ');
        };
        auto* order = overview->findChild<QComboBox*>(QStringLiteral("ComboSort"));
        QTest::keyClick(order, Qt::Key_Down); // by name
        QCOMPARE(names(), QStringLiteral("Айгүл Бек Дана"));
        QTest::keyClick(order, Qt::Key_Down); // by test 1
        QTest::keyClick(overview->findChild<QCheckBox*>(QStringLiteral("CheckDescending")), Qt::Key_Space);
        QCOMPARE(names(), QStringLiteral("Айгүл Дана Бек"));
        // The print preview: every command of its tool bar reached with Tab, Ctrl+P prints.
        QStringList reached;
        QTimer::singleShot(0, overview, [&] {
            QWidget* preview = QApplication::activeModalWidget();
            if (auto* print = preview->findChild<QAction*>(QStringLiteral("PreviewPrint")))
                reached << print->shortcut().toString();
            for (auto* button : preview->findChild<QToolBar*>()->findChildren<QToolButton*>())
                if (button->defaultAction() && button->focusPolicy() & Qt::TabFocus)
                    reached << button->defaultAction()->text();
            QTest::keyClick(preview, Qt::Key_Escape);
        });
        ui::ClassOverview::runPreview(overview->shownTable(), overview);
        QVERIFY2(reached.value(0) == QStringLiteral("Ctrl+P") && reached.size() >= 12,
                 qPrintable(reached.join('|')));
    }

    void focusIsARingOfTwoPixels() {
        CourseFolder course;
        writeUserList(course, {"Бек"});
        storeRecord("Бек", {"3"});
        writeTest(QStringLiteral("test1"), {1});
        Running run;
        run.signInAdmin();
        run.trigger("test1");
        activate(run.main());
        run.press(Qt::Key_Tab); // the keyboard is in use
        // The control, where the focus was before, and where the ring is drawn (on the control).
        auto check = [](QWidget* control, QWidget* elsewhere, QWidget* drawn = nullptr, QRect area = {}) {
            drawn = drawn ? drawn : control;
            area = area.isEmpty() ? drawn->rect() : area;
            const int changed = ringPixels(control, elsewhere, drawn, area);
            QVERIFY2(changed >= 2 * ui::look::kFocusRing * (area.width() + area.height()) * 9 / 10,
                     qPrintable(control->objectName() + QStringLiteral(": %1").arg(changed)));
        };
        auto in = [&run](const char* window, const char* name) {
            return run.main()
                ->findChild<QWidget*>(QLatin1String(window))
                ->findChild<QWidget*>(QLatin1String(name));
        };
        check(run.control<QWidget>("Memo1"), run.control<QWidget>("RadioButton1"));
        run.program.form2->show();
        check(run.program.form2->findChild<QWidget*>(QStringLiteral("Button2")), // "Выход"
              run.program.form2->findChild<QWidget*>(QStringLiteral("Edit9")));
        run.program.form2->hide();
        run.trigger("NOpt");
        check(in("FormOpt", "CheckShuffle"), in("FormOpt", "ButtonCancel"));
        run.main()->findChild<QWidget*>(QStringLiteral("FormOpt"))->close();
        run.trigger("NSvod");
        check(in("FormSvod", "ButtonClose"), in("FormSvod", "EditFind"));
        auto* grid = qobject_cast<QTableView*>(in("FormSvod", "GridSvod"));
        grid->setCurrentIndex(grid->model()->index(0, 2));
        check(grid, in("FormSvod", "EditFind"), grid->viewport(), grid->visualRect(grid->currentIndex()));
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

    void theTestEditorNamesItsControls() {
        CourseFolder course;
        Running run;
        run.signInAdmin();
        run.trigger("NEditor");
        auto* editor = run.main()->findChild<QWidget*>(QStringLiteral("TestEditor"));
        QVERIFY(editor);
        editor->findChild<QPushButton*>(QStringLiteral("ButtonAdd"))->click();
        CHECK_NAMED(editor, "test editor", 28);
        const char* named[][2] = {
            {"SpinTest", "Номер теста"},           {"ListQuestions", "Вопросы теста"},
            {"MemoQuestion", "Текст вопроса:"},    {"EditAnswer1", "Ответ A"},
            {"RadioRight5", "Правильный ответ E"}, {"ButtonSave", "Сохранить как тест №1"}};
        for (const auto& [control, name] : named)
            QCOMPARE(accessibleName(editor->findChild<QWidget*>(QLatin1String(control))),
                     QString::fromUtf8(name));
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
        elsewhere->setEnabled(true);
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
