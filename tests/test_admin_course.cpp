// The administrator's windows reach the course only through the course object: given a course whose
// reads give what its folder does not hold, they show that, and what they write goes to it.
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "app/program.h"
#include "course/files_course.h"
#include "support/harness.h"
#include "testing/encipher_form.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

// The course folder for signing in; the administrator's reads marked, the installs kept.
class MarkedCourse : public course::FilesCourse {
public:
    std::vector<std::string> journalLines() override { return {"marked journal"}; }
    reports::ClassTable classTable() override { return {{reports::StudentRow{}}}; }
    reports::Statistics statistics(const course::Progress&) override {
        reports::Statistics s;
        s.students = 77;
        return s;
    }
    testing::Options options() override { return {true, 7}; }
    std::vector<testing::authoring::Item> testItems(int n) override {
        return {{"Marked " + std::to_string(n), {"a", "b"}, 1, 1}};
    }
    course::Installed installTestFile(int n, std::string_view) override {
        installed.push_back(n);
        return {0, "marked.ini", ""};
    }
    std::vector<int> installed;
};

QString shown(QWidget* w) {
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        return memo->toPlainText();
    if (auto* spin = qobject_cast<QSpinBox*>(w))
        return spin->text();
    return qobject_cast<QLabel*>(w)->text();
}

} // namespace

class AdminCourseTest : public QObject {
    Q_OBJECT

private slots:
    void theWindowsShowAndInstallOnlyWhatTheCourseGives() {
        CourseFolder folder;
        folder.write(QStringLiteral("q.txt"), "Q?\r\nA) a\r\nB) b*\r\nC) c\r\nD) d\r\nE) e\r\n********\r\n");
        auto* course = new MarkedCourse;
        ui::dialogs::resetTestState();
        ui::Program program{std::unique_ptr<course::Course>(course)};
        QTimer::singleShot(0, program.form3.get(), &QWidget::close);
        program.showTitle();
        ui::TForm1* main = program.form1.get();
        const auto find = [main](const char* name) {
            return ui::findComponent(main, QString::fromLatin1(name));
        };
        qobject_cast<QLineEdit*>(find("Edit2"))->setText(QStringLiteral("admin"));
        qobject_cast<QLineEdit*>(find("MaskEdit1"))->setText(QStringLiteral("admin"));
        qobject_cast<QPushButton*>(find("SpeedButton3"))->click();
        const auto menu = [&find](const char* name) { qobject_cast<QAction*>(find(name))->trigger(); };

        const struct {
            const char *command, *control, *text;
        } cases[] = {{"N30", "Memo2", "marked journal"},
                     {"NSvod", "LabelSvod", "Студентов: 1; с записью: 0"},
                     {"NStat", "LabelStat", "Студентов с записью: 77."},
                     {"NOpt", "SpinDraw", "7"}};
        for (const auto& c : cases) {
            menu(c.command);
            QVERIFY2(shown(main->findChild<QWidget*>(c.control)).startsWith(QString::fromUtf8(c.text)),
                     c.command);
        }

        menu("NEditor");
        qobject_cast<QPushButton*>(find("ButtonOpen"))->click();
        QCOMPARE(main->findChild<QListWidget*>(QStringLiteral("ListQuestions"))->item(0)->text(),
                 QStringLiteral("1. Marked 1"));
        ui::findComponentAs<QPushButton>(main->findChild<QWidget*>("TestEditor"),
                                         QStringLiteral("ButtonSave"))
            ->click();

        ui::TForm2* tool = program.form2.get();
        QTimer::singleShot(0, tool, [&] {
            ui::findComponentAs<QCheckBox>(tool, QStringLiteral("CheckBox1"))->setChecked(true);
            ui::dialogs::answerNextOpenFile(folder.file(QStringLiteral("q.txt")));
            QTest::mouseClick(ui::findComponentAs<QLineEdit>(tool, QStringLiteral("Edit10")), Qt::LeftButton);
            ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button1"))->click();
            ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button2"))->click();
        });
        menu("nred");
        QCOMPARE(course->installed, std::vector<int>({1, 1}));
        QVERIFY(ui::dialogs::shownBoxes().back().text.contains(
            QStringLiteral("Тест установлен в курс: marked.ini")));
    }

    void theCourseFolderAnalysesTheQuestionsAsTheWindowShowsThem() {
        // A log line naming a question the test does not hold is skipped like a broken one.
        CourseFolder folder;
        writeTest(QStringLiteral("test1"), {1, 2});
        folder.write(QStringLiteral("answers.log"), "a | 1 | 1 | test1 | 1 | 1 | 1\r\n"
                                                    "a | 1 | 1 | test1 | 9 | 1 | 1\r\n");
        const reports::ItemAnalysis items = course::FilesCourse().itemAnalysis();
        QCOMPARE(items.tests.size(), std::size_t(1));
        QCOMPARE(items.tests[0].items.size(), std::size_t(1));
    }
};

ORTAVIA_TEST_MAIN(AdminCourseTest)
#include "test_admin_course.moc"
