// The test encipher tool window, driven as the administrator uses it: opened from the
// administrator menu, the source chosen through the open-file dialog, the conversion, the
// refusals and the restoring of the current directory.
#include <QDir>
#include <QFile>
#include <QTimer>
#include <sys/stat.h>

#include "store/codepage.h"
#include "store/fsys.h"
#include "store/store.h"
#include "store/textfile.h"
#include "support/harness.h"
#include "testing/encipher.h"
#include "testing/testing.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

QByteArray source(std::initializer_list<const char*> utf8Lines) {
    std::vector<std::string> lines;
    for (const char* l : utf8Lines)
        lines.push_back(cp::fromUtf8(l).value());
    const std::string text = textfile::joinLines(lines);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

const QByteArray kTwoQuestions =
    source({"Первый вопрос?", "A) один", "B) два*", "C) три", "D) четыре", "E) пять", "********",
            "Второй вопрос?", "A) а", "B) б", "C) в", "D) г*", "E) д", "********"});

QLineEdit* field(ui::TForm2* tool, const char* name) {
    auto* e = ui::findComponentAs<QLineEdit>(tool, QString::fromLatin1(name));
    if (!e)
        qFatal("no field %s", name);
    return e;
}

void clickButton(ui::TForm2* tool, const char* name) {
    ui::findComponentAs<QPushButton>(tool, QString::fromLatin1(name))->click();
}

QString label1(ui::TForm2* tool) {
    return ui::findComponentAs<QLabel>(tool, QStringLiteral("Label1"))->text();
}

// Chooses a file through Edit10 as the administrator does: a click opens the dialog.
void chooseSource(ui::TForm2* tool, const QString& path) {
    ui::dialogs::answerNextOpenFile(path);
    QTest::mouseClick(field(tool, "Edit10"), Qt::LeftButton);
}

} // namespace

class EncipherWindowTest : public QObject {
    Q_OBJECT

    // Signs in as administrator, opens the tool with its menu command and runs body while the tool
    // is shown modally; the tool is closed with its "Выход" button afterwards.
    void withTool(Running& run, const std::function<void(ui::TForm2*)>& body) {
        ui::TForm2* tool = run.program.form2.get();
        bool ran = false, modal = false;
        QTimer::singleShot(0, tool, [&] {
            ran = true;
            modal = tool->isVisible() && tool->isModal();
            body(tool);
            if (tool->isVisible())
                clickButton(tool, "Button2");
        });
        run.trigger("nred");
        QVERIFY(ran);
        QVERIFY(modal);
        QVERIFY(!tool->isVisible());
    }

    void signInAsAdministrator(Running& run) {
        run.signInAdmin();
        QVERIFY(run.action("nred")->isVisible());
    }

private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void windowLayout() {
        CourseFolder course;
        Running run;
        ui::TForm2* tool = run.program.form2.get();
        QCOMPARE(tool->objectName(), QStringLiteral("Form2"));
        QCOMPARE(tool->windowTitle(), QStringLiteral("Шифрование тестовых вопросов"));
        QVERIFY(tool->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(field(tool, "Edit9")->text(), QStringLiteral("Введите название теста (Test1-Test10)"));
        QCOMPARE(field(tool, "Edit10")->text(),
                 QStringLiteral("Щелкните здесь мышкой и выберите файл теста"));
        QCOMPARE(ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button1"))->text(),
                 QStringLiteral("Зашифровать"));
        QCOMPARE(ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button2"))->text(),
                 QStringLiteral("Выход"));
        QCOMPARE(label1(tool), QStringLiteral("Номера вопросов"));
        for (const char* hidden : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8"})
            QVERIFY2(!field(tool, hidden)->isVisibleTo(tool), hidden);
    }

    void conversionFromTheAdministratorMenu() {
        CourseFolder course;
        course.write(QStringLiteral("sources/questions.txt"), kTwoQuestions);
        Running run;
        signInAsAdministrator(run);
        const QString before = QDir::currentPath();
        withTool(run, [&](ui::TForm2* tool) {
            field(tool, "Edit9")->setText(QStringLiteral("Test3"));
            chooseSource(tool, course.file(QStringLiteral("sources/questions.txt")));
            QCOMPARE(field(tool, "Edit10")->text(), course.file(QStringLiteral("sources/questions.txt")));
            // The dialog moved the current directory to the source's folder.
            QCOMPARE(QDir::currentPath(), course.file(QStringLiteral("sources")));
            clickButton(tool, "Button1");
            QCOMPARE(boxCount(), 1);
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Information);
            QVERIFY2(lastBoxText().startsWith(QStringLiteral("Создание тестов успешно завершено.")),
                     qPrintable(lastBoxText()));
            QVERIFY(lastBoxText().contains(course.file(QStringLiteral("sources/Test3.ini"))));
            QCOMPARE(label1(tool), QStringLiteral("Вопрос №2"));
            QCOMPARE(field(tool, "Edit1")->text(), QStringLiteral("Второй вопрос?"));
            QCOMPARE(field(tool, "Edit5")->text(), QStringLiteral("D) г "));
            QCOMPARE(field(tool, "Edit7")->text(), QStringLiteral("4"));
            QCOMPARE(field(tool, "Edit8")->text(), QStringLiteral("2"));
        });
        // Closing the tool gave the main window its directory back.
        QCOMPARE(QDir::currentPath(), before);
        QVERIFY(course.exists(QStringLiteral("sources/Test3.ini")));
        QVERIFY(!course.exists(QStringLiteral("Test3.ini")));

        // Placed into data/tests, the file is the test the run asks.
        QFile::remove(course.file(QStringLiteral("data/tests/test3.ini")));
        QVERIFY(QFile::copy(course.file(QStringLiteral("sources/Test3.ini")),
                            course.file(QStringLiteral("data/tests/test3.ini"))));
        QCOMPARE(testing::questionCount("test3"), 2);
        QCOMPARE(testing::question("test3", 2), testsupport::cp("Второй вопрос?"));
        QCOMPARE(testing::answer("test3", 1, 2), testsupport::cp("B) два "));
        QCOMPARE(testing::rightAnswer("test3", 1), std::string("2"));
        QCOMPARE(testing::rightAnswer("test3", 2), std::string("4"));
    }

    void fieldsAndWorkingValuesStayBetweenUses() {
        CourseFolder course;
        course.write(QStringLiteral("one.txt"), kTwoQuestions);
        course.write(QStringLiteral("two.txt"), source({"Третий вопрос?", "A) x", "B) y", "C) z"}));
        Running run;
        signInAsAdministrator(run);
        withTool(run, [&](ui::TForm2* tool) {
            field(tool, "Edit9")->setText(QStringLiteral("Test5"));
            chooseSource(tool, course.file(QStringLiteral("one.txt")));
            clickButton(tool, "Button1");
        });
        withTool(run, [&](ui::TForm2* tool) {
            QCOMPARE(field(tool, "Edit9")->text(), QStringLiteral("Test5"));
            QCOMPARE(field(tool, "Edit10")->text(), course.file(QStringLiteral("one.txt")));
            QCOMPARE(field(tool, "Edit8")->text(), QStringLiteral("2"));
            chooseSource(tool, course.file(QStringLiteral("two.txt")));
            clickButton(tool, "Button1");
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Information);
            // The notes name what the source lacks.
            QVERIFY(lastBoxText().contains(QStringLiteral("Замечания")));
        });
        QCOMPARE(store::read("1", "q", "\\Test5.ini"), testsupport::cp("Третий вопрос?"));
        QCOMPARE(store::read("1", "a4", "\\Test5.ini"),
                 testsupport::cp("D) г ")); // from the conversion before
        QCOMPARE(store::read("1", "ap", "\\Test5.ini"), std::string("4"));
        QCOMPARE(store::read("inf", "vsego", "\\Test5.ini"), std::string("1"));
        QCOMPARE(store::read("2", "q", "\\Test5.ini"),
                 testsupport::cp("Второй вопрос?")); // older section kept
    }

    void testNamesThatAreRefused() {
        CourseFolder course;
        course.write(QStringLiteral("q.txt"), kTwoQuestions);
        Running run;
        signInAsAdministrator(run);
        const QByteArray users = course.read(QStringLiteral("users.ini"));
        const QStringList files = QDir(course.path()).entryList(QDir::Files);
        withTool(run, [&](ui::TForm2* tool) {
            chooseSource(tool, course.file(QStringLiteral("q.txt")));
            const QString hint = field(tool, "Edit9")->text();
            for (const QString& name :
                 {hint, QString(), QStringLiteral("../users"), QStringLiteral("users"),
                  QStringLiteral("Users"), QStringLiteral("data/tests/test1"), QStringLiteral("..\\x"),
                  QStringLiteral(".."), QStringLiteral("名前")}) {
                ui::dialogs::resetTestState();
                field(tool, "Edit9")->setText(name);
                clickButton(tool, "Button1");
                QCOMPARE(boxCount(), 1);
                QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
                QVERIFY2(lastBoxText().contains(QStringLiteral("Название")), qPrintable(lastBoxText()));
            }
            QCOMPARE(label1(tool), QStringLiteral("Номера вопросов"));
        });
        QCOMPARE(course.read(QStringLiteral("users.ini")), users);
        QVERIFY(!course.exists(QStringLiteral("users.ini.ini")));
        QCOMPARE(QDir(course.path()).entryList(QDir::Files), files);
    }

    void sourceNotChosen() {
        CourseFolder course;
        Running run;
        signInAsAdministrator(run);
        withTool(run, [&](ui::TForm2* tool) {
            field(tool, "Edit9")->setText(QStringLiteral("Test1"));
            clickButton(tool, "Button1");
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
            QVERIFY(lastBoxText().contains(QStringLiteral("Файл вопросов не выбран")));
            // A cancelled dialog changes neither the field nor the directory.
            const QString dir = QDir::currentPath();
            chooseSource(tool, QString());
            QCOMPARE(field(tool, "Edit10")->text(),
                     QStringLiteral("Щелкните здесь мышкой и выберите файл теста"));
            QCOMPARE(QDir::currentPath(), dir);
        });
        QVERIFY(!course.exists(QStringLiteral("Test1.ini")));
    }

    void badSourceKeepsTheOldTest() {
        CourseFolder course;
        course.write(QStringLiteral("s/good.txt"), kTwoQuestions);
        QByteArray bad = kTwoQuestions;
        bad.insert(bad.indexOf("\r\nB)") + 4, '\x1E');
        course.write(QStringLiteral("s/bad.txt"), bad);
        course.write(QStringLiteral("s/empty.txt"), source({"", "********", ""}));
        Running run;
        signInAsAdministrator(run);
        withTool(run, [&](ui::TForm2* tool) {
            field(tool, "Edit9")->setText(QStringLiteral("Test2"));
            chooseSource(tool, course.file(QStringLiteral("s/good.txt")));
            clickButton(tool, "Button1");
            const QByteArray before = course.read(QStringLiteral("s/Test2.ini"));
            const QString edit8 = field(tool, "Edit8")->text();
            for (const char* name : {"s/bad.txt", "s/empty.txt"}) {
                ui::dialogs::resetTestState();
                chooseSource(tool, course.file(QString::fromLatin1(name)));
                clickButton(tool, "Button1");
                QCOMPARE(boxCount(), 1);
                QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
                QVERIFY(lastBoxText().contains(QStringLiteral("Файл теста не изменён")));
                QCOMPARE(course.read(QStringLiteral("s/Test2.ini")), before);
                QCOMPARE(field(tool, "Edit8")->text(), edit8);
            }
            QVERIFY(lastBoxText().contains(QStringLiteral("нет ни одного вопроса")));
        });
    }

    void failedWriteSaysSoAndKeepsTheOldFile() {
        CourseFolder course;
        course.write(QStringLiteral("q.txt"), kTwoQuestions);
        course.write(QStringLiteral("Test4.ini"), QByteArray("[1]\r\nq=old\r\n"));
        QVERIFY(::chmod(QFile::encodeName(course.file(QStringLiteral("Test4.ini"))).constData(), 0444) == 0);
        Running run;
        signInAsAdministrator(run);
        withTool(run, [&](ui::TForm2* tool) {
            field(tool, "Edit9")->setText(QStringLiteral("Test4"));
            chooseSource(tool, course.file(QStringLiteral("q.txt")));
            clickButton(tool, "Button1");
            QCOMPARE(boxCount(), 1);
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Error);
            QVERIFY2(lastBoxText().contains(QStringLiteral("Прежний файл теста сохранён")),
                     qPrintable(lastBoxText()));
            QCOMPARE(label1(tool), QStringLiteral("Номера вопросов"));
        });
        QCOMPARE(course.read(QStringLiteral("Test4.ini")), QByteArray("[1]\r\nq=old\r\n"));
        ::chmod(QFile::encodeName(course.file(QStringLiteral("Test4.ini"))).constData(), 0644);
    }

    // A course folder under a path with Cyrillic letters: the dialog opens in the current folder
    // and the course folder comes back on closing; so does a folder whose path holds letters the
    // code page cannot hold.
    void dialogFolderUnderCyrillicAndForeignPaths() {
        CourseFolder course;
        const QString inner = course.file(QStringLiteral("Курс физики"));
        QVERIFY(QDir().mkpath(inner));
        for (const QString& e : QDir(course.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (course.file(e) != inner)
                QVERIFY(QDir().rename(course.file(e), inner + QLatin1Char('/') + e));
        course.write(QStringLiteral("Курс физики/вопросы/q.txt"), kTwoQuestions);
        QVERIFY(QDir::setCurrent(inner));
        Running run;
        signInAsAdministrator(run);
        withTool(run, [&](ui::TForm2* tool) {
            chooseSource(tool, QString()); // cancelled: nothing moves
            QCOMPARE(ui::dialogs::lastOpenFileFolder(), inner);
            QCOMPARE(QDir::currentPath(), inner);
            chooseSource(tool, inner + QStringLiteral("/вопросы/q.txt"));
            QCOMPARE(ui::dialogs::lastOpenFileFolder(), inner);
            field(tool, "Edit9")->setText(QStringLiteral("Test5"));
            clickButton(tool, "Button1");
            QVERIFY2(lastBoxText().startsWith(QStringLiteral("Создание тестов успешно завершено.")),
                     qPrintable(lastBoxText()));
            chooseSource(tool, QString());
            QCOMPARE(ui::dialogs::lastOpenFileFolder(), inner + QStringLiteral("/вопросы"));
        });
        QCOMPARE(QDir::currentPath(), inner);
        QVERIFY(course.exists(QStringLiteral("Курс физики/вопросы/Test5.ini")));

        const QString foreign = course.file(QStringLiteral("café"));
        QVERIFY(QDir().mkpath(foreign));
        QVERIFY(QDir::setCurrent(foreign));
        withTool(run, [&](ui::TForm2* tool) {
            chooseSource(tool, QString());
            QCOMPARE(ui::dialogs::lastOpenFileFolder(), foreign);
            chooseSource(tool, inner + QStringLiteral("/вопросы/q.txt"));
            QCOMPARE(QDir::currentPath(), inner + QStringLiteral("/вопросы"));
            // A source and a test file in that folder.
            course.write(QStringLiteral("café/q.txt"), kTwoQuestions);
            chooseSource(tool, foreign + QStringLiteral("/q.txt"));
            field(tool, "Edit9")->setText(QStringLiteral("Test6"));
            clickButton(tool, "Button1");
            QVERIFY2(lastBoxText().startsWith(QStringLiteral("Создание тестов успешно завершено.")),
                     qPrintable(lastBoxText()));
        });
        QCOMPARE(QDir::currentPath(), foreign);
        QVERIFY(course.exists(QStringLiteral("café/Test6.ini")));
        for (const ui::ShownBox& box : ui::dialogs::shownBoxes())
            QVERIFY2(box.kind != ui::BoxKind::Error, qPrintable(box.text));
        QVERIFY(QDir::setCurrent(inner));
    }

    void escapeClosesAndRestoresTheDirectory() {
        CourseFolder course;
        course.write(QStringLiteral("far/q.txt"), kTwoQuestions);
        Running run;
        signInAsAdministrator(run);
        const QString before = QDir::currentPath();
        withTool(run, [&](ui::TForm2* tool) {
            chooseSource(tool, course.file(QStringLiteral("far/q.txt")));
            QCOMPARE(QDir::currentPath(), course.file(QStringLiteral("far")));
            QTest::keyClick(tool, Qt::Key_Escape);
            QVERIFY(!tool->isVisible());
        });
        QCOMPARE(QDir::currentPath(), before);
        // The main window reads its documents and tests from there again.
        QVERIFY(fsys::exists("data\\info\\tumb.db"));
        QCOMPARE(testing::questionCount("test1"), 12);
    }
};

ORTAVIA_TEST_MAIN(EncipherWindowTest)
#include "test_encipher_window.moc"
