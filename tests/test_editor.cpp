// The test editor through its window: opening a test of the course and saving it back (the test
// run reads the change, the backup the old file), a test built from nothing, the refusals that
// write nothing, the history of changes, a GIFT source saved exactly as "ortavia-tests install"
// puts it, the question about unsaved changes, the keyboard alone, the administrator only.
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>

#include "reports/report_form.h"
#include "support/harness.h"
#include "testing/editor_form.h"
#include "testing/testing.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

struct Editor {
    ui::TestEditor* window;

    template <typename T> T* c(const QString& name) const {
        T* w = window->findChild<T*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(const char* name) const { c<QPushButton>(QString::fromLatin1(name))->click(); }
    QLineEdit* answer(int k) const { return c<QLineEdit>(QStringLiteral("EditAnswer%1").arg(k)); }
    QRadioButton* radio(int k) const { return c<QRadioButton>(QStringLiteral("RadioRight%1").arg(k)); }
    QPlainTextEdit* memo() const { return c<QPlainTextEdit>(QStringLiteral("MemoQuestion")); }
    QListWidget* list() const { return c<QListWidget>(QStringLiteral("ListQuestions")); }
    void setTest(int n) const { c<QSpinBox>(QStringLiteral("SpinTest"))->setValue(n); }

    // Replaces a field's text key by key, as the keyboard does.
    void retype(QWidget* field, const QString& text) const {
        if (auto* line = qobject_cast<QLineEdit*>(field))
            line->selectAll();
        else
            static_cast<QPlainTextEdit*>(field)->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Delete);
        typeKeys(field, text);
    }
    // A question added after the chosen one, its text and answers typed, the right one chosen.
    void addQuestion(const QString& text, const QStringList& answers, int right) const {
        click("ButtonAdd");
        retype(memo(), text);
        for (int k = 0; k < answers.size(); ++k)
            retype(answer(k + 1), answers[k]);
        if (right > 0)
            radio(right)->click();
    }
    QStringList texts() const {
        QStringList out;
        for (int i = 0; i < window->document().size(); ++i)
            out << QString::fromStdString(window->document().at(i).text);
        return out;
    }
};

// The editor as the administrator's menu opens it; active: the keyboard's window.
Editor openEditor(const Running& run, bool active = false) {
    run.signInAdmin();
    run.trigger("NEditor");
    auto* w = run.main()->findChild<ui::TestEditor*>(QStringLiteral("TestEditor"));
    if (!w)
        qFatal("the test editor did not open");
    if (active) {
        w->activateWindow();
        if (!QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }))
            qFatal("the test editor did not become active");
    }
    return {w};
}

std::string read(const char* test, int n, int k) {
    return k == 0 ? testing::question(test, n) : testing::answer(test, n, k);
}

} // namespace

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        ui::dialogs::resetTestState();
        ui::savefile::resetTestState();
    }

    void openChangeAndSaveATestOfTheCourse() {
        CourseFolder course;
        writeTest(QStringLiteral("test3"), {2, 4, 1});
        const QByteArray old = course.read(QStringLiteral("data/tests/test3.ini"));
        Running run;
        const Editor e = openEditor(run);
        e.setTest(3);
        e.click("ButtonOpen");
        QCOMPARE(e.window->document().size(), 3);
        QCOMPARE(e.answer(2)->text(), QStringLiteral("answer 2 of 1"));
        QVERIFY(e.radio(2)->isChecked());
        e.list()->setCurrentRow(1);
        e.retype(e.answer(3), QStringLiteral("Скорость света"));
        e.radio(3)->click();
        QVERIFY(e.window->windowTitle().endsWith(QLatin1String(" *")));
        e.click("ButtonSave");
        QCOMPARE(boxCount(), 1); // no question: the test that was opened is replaced
        QVERIFY2(lastBoxText().contains(QLatin1String("test3.ini.bak")), qPrintable(lastBoxText()));
        // A test run reads the change; the rest is as it was; the backup holds the old file.
        QCOMPARE(read("test3", 2, 3), cp("C) Скорость света"));
        QCOMPARE(testing::rightAnswer("test3", 2), std::string("3"));
        QCOMPARE(read("test3", 1, 0), std::string("Question 1"));
        QCOMPARE(testing::rightAnswer("test3", 3), std::string("1"));
        QCOMPARE(testing::questionCount("test3"), 3);
        QCOMPARE(course.read(QStringLiteral("data/tests/test3.ini.bak")), old);
        QVERIFY(!e.window->document().modified());
        QVERIFY(!e.window->windowTitle().endsWith(QLatin1String(" *")));
    }

    void aNewTestOfThreeQuestionsFromNothing() {
        CourseFolder course;
        Running run;
        const Editor e = openEditor(run);
        QCOMPARE(e.window->document().size(), 0);
        e.addQuestion(QStringLiteral("Единица силы?"), {QStringLiteral("Ньютон"), QStringLiteral("Джоуль")},
                      1);
        e.addQuestion(QStringLiteral("Единица работы?"),
                      {QStringLiteral("Ньютон"), QStringLiteral("Джоуль"), QStringLiteral("Ватт")}, 2);
        e.addQuestion(QStringLiteral("Қуат бірлігі?"),
                      {QStringLiteral("Ньютон"), QStringLiteral("Паскаль"), QStringLiteral("Кельвин"),
                       QStringLiteral("Ом"), QStringLiteral("Ватт")},
                      5);
        QCOMPARE(e.window->document().incompleteCount(), 0);
        // The preview shows the chosen question as the test screen does: lettered, prefixed.
        QCOMPARE(e.c<QTextEdit>(QStringLiteral("PreviewAnswer5"))->toPlainText(), QStringLiteral("E) Ватт"));
        e.setTest(7);
        ui::dialogs::answerNextBox(ui::Answer::Ok); // test 7 of the course is replaced
        e.click("ButtonSave");
        QVERIFY2(ui::dialogs::shownBoxes().front().text.startsWith(QStringLiteral("Заменить тест №7")),
                 qPrintable(ui::dialogs::shownBoxes().front().text));
        QCOMPARE(testing::questionCount("test7"), 3);
        QCOMPARE(read("test7", 3, 0), cp("Қуат бірлігі?"));
        QCOMPARE(read("test7", 1, 2), cp("B) Джоуль"));
        QCOMPARE(read("test7", 1, 3), std::string()); // the answers a question lacks are empty
        QCOMPARE(testing::rightAnswer("test7", 2), std::string("2"));
        QCOMPARE(testing::rightAnswer("test7", 3), std::string("5"));
    }

    void refusalsWriteNothing_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("right");
        QTest::addColumn<QString>("named");
        QTest::newRow("code page") << QStringLiteral("α-распад") << 1
                                   << QStringLiteral(
                                          "Ответ B: знака «α» (U+03B1) нет в кодовой странице курса");
        QTest::newRow("no right answer")
            << QStringLiteral("Бета") << 0 << QStringLiteral("правильный ответ не выбран");
        QTest::newRow("one answer") << QString() << 1 << QStringLiteral("ответов 1, а нужно от двух до пяти");
        QTest::newRow("right answer empty") << QString() << 2 << QStringLiteral("правильный ответ пуст");
    }

    void refusalsWriteNothing() {
        QFETCH(QString, answer);
        QFETCH(int, right);
        QFETCH(QString, named);
        CourseFolder course;
        const QByteArray old = course.read(QStringLiteral("data/tests/test3.ini"));
        Running run;
        const Editor e = openEditor(run);
        e.click("ButtonSave"); // an empty test first
        QCOMPARE(lastBoxText(), QStringLiteral("Тест не сохранён, ничего не записано. Исправьте:\n"
                                               "• В тесте нет ни одного вопроса."));
        e.addQuestion(QStringLiteral("Вопрос"), {QStringLiteral("Альфа"), answer}, right);
        e.addQuestion(QStringLiteral("Готовый"), {QStringLiteral("Да"), QStringLiteral("Нет")}, 1);
        // Named as it is typed; the question is marked in the list.
        e.list()->setCurrentRow(0);
        QVERIFY2(e.c<QLabel>(QStringLiteral("LabelProblems"))->text().contains(named),
                 qPrintable(e.c<QLabel>(QStringLiteral("LabelProblems"))->text()));
        QVERIFY(e.list()->item(0)->text().startsWith(QLatin1String("1. (!) ")));
        QCOMPARE(e.list()->item(1)->text(), QStringLiteral("2. Готовый"));
        e.setTest(3);
        e.click("ButtonSave");
        ui::savefile::answerNext(course.file(QStringLiteral("out.gift")));
        e.click("ButtonExport");
        QCOMPARE(boxCount(), 3);
        for (const ui::ShownBox& box : ui::dialogs::shownBoxes().mid(1))
            QVERIFY2(box.kind == ui::BoxKind::Error &&
                         box.text.contains(QStringLiteral("• Вопрос 1: ") + named),
                     qPrintable(box.text));
        QCOMPARE(course.read(QStringLiteral("data/tests/test3.ini")), old);
        QVERIFY(!course.exists(QStringLiteral("data/tests/test3.ini.bak")));
        QVERIFY(!course.exists(QStringLiteral("out.gift")));
        QCOMPARE(ui::savefile::askedCount(), 0);
    }

    void undoAndRedoAcrossAddsDeletesAndMoves() {
        CourseFolder course;
        Running run;
        const Editor e = openEditor(run, true);
        QList<QStringList> states{{}};
        const auto step = [&](auto&& change) {
            change();
            states << e.texts();
        };
        step([&] { e.click("ButtonAdd"); });
        step([&] { e.retype(e.memo(), QStringLiteral("один")); }); // typing in one field: one step
        step([&] { e.click("ButtonAdd"); });
        step([&] { e.retype(e.memo(), QStringLiteral("два")); });
        step([&] { e.click("ButtonDuplicate"); });
        step([&] { e.click("ButtonUp"); });
        step([&] {
            e.list()->setCurrentRow(0);
            e.click("ButtonDelete");
        });
        step([&] { e.click("ButtonDown"); });
        QCOMPARE(states.back(), QStringList({"два", "два"}));
        QCOMPARE(states[6], QStringList({"один", "два", "два"}));
        // Ctrl+Z back to the start, whichever control has the keyboard (the question's text too).
        const auto press = [&](int i, Qt::KeyboardModifiers modifiers) {
            QWidget* where = i % 2 ? static_cast<QWidget*>(e.memo()) : e.list();
            where->setFocus();
            QTest::keyClick(where, Qt::Key_Z, modifiers);
        };
        for (int i = static_cast<int>(states.size()) - 2; i >= 0; --i) {
            press(i, Qt::ControlModifier);
            QCOMPARE(e.texts(), states[i]);
        }
        QVERIFY(!e.window->document().modified());
        // Ctrl+Shift+Z forward to the end.
        for (int i = 1; i < states.size(); ++i) {
            press(i, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(e.texts(), states[i]);
        }
        QCOMPARE(e.memo()->toPlainText(), QStringLiteral("два"));
    }

    void aGiftSourceSavedAsTheToolInstallsIt() {
        CourseFolder course;
        course.write(QStringLiteral("q.gift"), QStringLiteral("// физика\n"
                                                              "Единица силы? {=Ньютон ~Джоуль ~Ватт}\n\n"
                                                              "Заряд электрона\\: знак? {\n~положительный\n"
                                                              "=отрицательный\n}\n")
                                                   .toUtf8());
        const ToolRun tool = runTool({QStringLiteral("install"), course.file(QStringLiteral("q.gift")),
                                      QStringLiteral("5"), QStringLiteral("--course"), course.path()});
        QVERIFY2(tool.status == 0, qPrintable(tool.err));
        Running run;
        const Editor e = openEditor(run);
        ui::dialogs::answerNextOpenFile(course.file(QStringLiteral("q.gift")));
        e.click("ButtonImport");
        QCOMPARE(QDir::currentPath(), course.path()); // the dialog's folder change is undone
        QCOMPARE(e.texts(), QStringList({"Единица силы?", "Заряд электрона: знак?"}));
        e.setTest(4);
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        e.click("ButtonSave");
        QCOMPARE(course.read(QStringLiteral("data/tests/test4.ini")),
                 course.read(QStringLiteral("data/tests/test5.ini")));
        QVERIFY(course.exists(QStringLiteral("data/tests/test4.ini.bak")));
    }

    void unsavedChangesAsk() {
        CourseFolder course;
        Running run;
        Editor e = openEditor(run);
        e.addQuestion(QStringLiteral("Вопрос"), {}, 0);
        // Closing, opening another test, leaving the program: Cancel keeps everything.
        ui::dialogs::answerNextBox(ui::Answer::Cancel);
        QVERIFY(!e.window->close());
        ui::dialogs::answerNextBox(ui::Answer::Cancel);
        e.click("ButtonOpen");
        ui::dialogs::answerNextBox(ui::Answer::Cancel);
        QVERIFY(!run.main()->close());
        QCOMPARE(boxCount(), 3);
        for (const ui::ShownBox& box : ui::dialogs::shownBoxes())
            QVERIFY2(box.kind == ui::BoxKind::Warning && box.text.contains(QStringLiteral("несохранённые")),
                     qPrintable(box.text));
        QVERIFY(run.main()->isVisible());
        QCOMPARE(e.texts(), QStringList({"Вопрос"}));
        // OK drops them; nothing is asked once nothing is left unsaved.
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        e.click("ButtonOpen");
        QCOMPARE(e.window->document().size(), testing::questionCount("test1"));
        QVERIFY(e.window->close());
        QCOMPARE(boxCount(), 4);
    }

    void theKeyboardAlone() {
        CourseFolder course;
        Running run;
        const Editor e = openEditor(run, true);
        const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), k, m);
        };
        for (int q = 1; q <= 2; ++q) {
            key(Qt::Key_N, Qt::ControlModifier); // a new question, the keyboard on its text
            QCOMPARE(QApplication::focusWidget(), e.memo());
            typeKeys(QApplication::focusWidget(), QStringLiteral("Вопрос %1").arg(q));
            key(Qt::Key_Return); // on to the answers, then to the choice of the right one
            for (int k = 1; k <= 3; ++k) {
                QCOMPARE(QApplication::focusWidget(), e.answer(k));
                typeKeys(QApplication::focusWidget(), QStringLiteral("Ответ %1").arg(k));
                key(Qt::Key_Tab);
            }
            key(Qt::Key_Tab);
            key(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), e.radio(1));
            for (int k = 1; k < q; ++k)
                key(Qt::Key_Down);
            key(Qt::Key_Space);
        }
        key(Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(e.texts(), QStringList({"Вопрос 2", "Вопрос 1"}));
        key(Qt::Key_F, Qt::ControlModifier);
        typeKeys(QApplication::focusWidget(), QStringLiteral("вопрос 1"));
        key(Qt::Key_Return);
        QCOMPARE(e.window->currentQuestion(), 1);
        e.setTest(2);
        ui::dialogs::answerNextBox(ui::Answer::Ok);
        key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(read("test2", 1, 0), cp("Вопрос 2"));
        QCOMPARE(testing::rightAnswer("test2", 1), std::string("2"));
        QCOMPARE(testing::rightAnswer("test2", 2), std::string("1"));
        key(Qt::Key_Escape); // nothing unsaved: the window closes without a question
        QTRY_VERIFY(!run.main()->findChild<ui::TestEditor*>(QStringLiteral("TestEditor")));
        QCOMPARE(boxCount(), 2);
    }

    void onlyTheAdministrator() {
        CourseFolder course;
        const QByteArray old = course.read(QStringLiteral("data/tests/test1.ini"));
        for (const bool student : {false, true}) {
            Running run;
            if (student) {
                run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
                run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
            }
            QVERIFY(!run.action("NEditor")->isVisible());
            run.trigger("NEditor");
            run.main()->NEditorClick();
            QVERIFY(!run.main()->findChild<ui::TestEditor*>());
            // The window's own commands do nothing either.
            ui::TestEditor window(run.main());
            const Editor e{&window};
            e.click("ButtonOpen");
            e.click("ButtonAdd");
            e.click("ButtonSave");
            QCOMPARE(window.document().size(), 0);
            QCOMPARE(course.read(QStringLiteral("data/tests/test1.ini")), old);
        }
        Running admin;
        openEditor(admin);
        QVERIFY(admin.action("NEditor")->isVisible());
        QCOMPARE(admin.action("NEditor")->text(), QStringLiteral("Редактор тестов"));
    }
};

ORTAVIA_TEST_MAIN(EditorTest)
#include "test_editor.moc"
