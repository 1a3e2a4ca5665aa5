// The deployment texts of the course folder (data\info\deployment.txt): read into the title screen
// and the information windows, with the built-in placeholders for whatever the file lacks; and
// "ortavia-tests init", which makes a fresh course folder from the template.
#include <QDirIterator>
#include <QProcess>
#include <functional>
#include <sys/stat.h>

#include "docs/deployment.h"
#include "support/harness.h"

using namespace ortavia;
using ortavia::testsupport::Contents;
using ortavia::testsupport::CourseFolder;
using ortavia::testsupport::Running;

namespace {

QString label(QWidget* window, const char* name) {
    auto* l = window->findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("(no label %1)").arg(QLatin1String(name));
}

QString q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

using Run = testsupport::ToolRun;

Run tool(const QStringList& args) {
    return testsupport::runTool(args);
}

// Every file under a folder with its content, by relative path.
QMap<QString, QByteArray> tree(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        files.insert(QDir(root).relativeFilePath(path), f.open(QIODevice::ReadOnly) ? f.readAll() : "?");
    }
    return files;
}

} // namespace

class DeploymentTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void fileGivesTheTextsAndPlaceholdersFillTheRest() {
        const deployment::Reading r = deployment::parse("\xEF\xBB\xBF# comment\r\n"
                                                        "; another\r\n"
                                                        "\r\n"
                                                        "institution =  Қарағанды университеті \r\n"
                                                        "city=Қарағанды\r\n"
                                                        "year =\r\n"
                                                        "developer_position = доцент = профессор");
        QVERIFY(r.problems.empty());
        const deployment::Texts placeholders;
        QCOMPARE(q(r.texts.institution), QStringLiteral("Қарағанды университеті"));
        QCOMPARE(q(r.texts.city), QStringLiteral("Қарағанды"));
        QCOMPARE(r.texts.year, placeholders.year); // an empty text keeps the placeholder
        QCOMPARE(q(r.texts.developerPosition), QStringLiteral("доцент = профессор"));
        QCOMPARE(r.texts.department, placeholders.department);
        QCOMPARE(r.texts.compiler, placeholders.compiler);
    }

    void faultyLinesAreNamedAndSkipped() {
        const deployment::Reading r = deployment::parse("institution = Первый\n"
                                                        "department Кафедра\n"
                                                        "speciality = опечатка в ключе\n"
                                                        "city = \xC3\xE4\xE5\n" // Windows-1251, not UTF-8
                                                        "institution = Второй\n"
                                                        "year = 2027\n");
        QCOMPARE(int(r.problems.size()), 4);
        QVERIFY(q(r.problems[0]).startsWith(QStringLiteral("строка 2: нет знака «=»")));
        QVERIFY(q(r.problems[1]).startsWith(QStringLiteral("строка 3: неизвестный ключ «speciality»")));
        QVERIFY(q(r.problems[2]).startsWith(QStringLiteral("строка 4: текст не в кодировке UTF-8")));
        QVERIFY(q(r.problems[3]).startsWith(QStringLiteral("строка 5: ключ «institution» повторён")));
        QCOMPARE(q(r.texts.institution), QStringLiteral("Второй"));
        QCOMPARE(r.texts.department, deployment::Texts().department);
        QCOMPARE(r.texts.city, deployment::Texts().city);
        QCOMPARE(r.texts.year, std::string("2027"));
    }

    void missingOrUnreadableFileKeepsThePlaceholders() {
        CourseFolder folder(Contents::Nothing);
        deployment::Reading r = deployment::read();
        QVERIFY(r.problems.empty());
        QCOMPARE(r.texts.institution, deployment::Texts().institution);

        QVERIFY(QDir().mkpath(folder.file(QStringLiteral("data/info/deployment.txt")))); // a folder
        r = deployment::read();
        QCOMPARE(int(r.problems.size()), 1);
        QVERIFY(q(r.problems[0]).contains(QStringLiteral("не удалось прочитать файл")));
        QVERIFY(q(r.problems[0]).contains(folder.file(QStringLiteral("data/info/deployment.txt"))));
        QCOMPARE(r.texts.city, deployment::Texts().city);
    }

    void hostileFilesAreNamedAndNeverBlockOrReachTheTerminalRaw() {
        const QString name = QStringLiteral("data/info/deployment.txt");
        struct Case {
            const char* what;
            std::function<void(const CourseFolder&)> make;
            QString expected;
            std::string city; // the placeholder's when the file is refused
        } cases[] = {
            {"pipe",
             [&name](const CourseFolder& f) {
                 QVERIFY(QDir().mkpath(f.file(QStringLiteral("data/info"))));
                 QCOMPARE(::mkfifo(QFile::encodeName(f.file(name)).constData(), 0644), 0);
             },
             QStringLiteral("это канал, устройство или сокет"), deployment::Texts().city},
            {"over 64 KB",
             [&name](const CourseFolder& f) {
                 f.write(name, "city = Алматы\n" + QByteArray(64 * 1024, '#'));
             },
             QStringLiteral("больше 64 КБ"), deployment::Texts().city},
            {"escape sequences",
             [&name](const CourseFolder& f) {
                 f.write(name, "\x1B]0;title\x07\xC2\x9B"
                               "31m = x\ncity = Алматы\n");
             },
             QStringLiteral("неизвестный ключ «\\x1B]0;title\\x07\\u009B31m»"), "Алматы"},
        };
        for (const Case& c : cases) {
            CourseFolder folder(Contents::Nothing);
            c.make(folder);
            const deployment::Reading r = deployment::read();
            QCOMPARE(int(r.problems.size()), 1);
            const QString problem = q(r.problems[0]);
            QVERIFY2(problem.contains(c.expected) && problem.contains(folder.file(name)),
                     qPrintable(problem));
            QVERIFY2(!problem.contains(QLatin1Char('\x1B')) &&
                         !problem.contains(QStringLiteral("Unknown error")),
                     c.what);
            QCOMPARE(r.texts.city, c.city);
        }
    }

    void fileNameIsMatchedWithoutRegardToCase() {
        CourseFolder folder(Contents::Nothing);
        folder.write(QStringLiteral("Data/INFO/Deployment.TXT"), "city = Алматы\n");
        QCOMPARE(q(deployment::read().texts.city), QStringLiteral("Алматы"));
    }

    void sampleCourseShipsThePlaceholders() {
        QFile f(QStringLiteral(ORTAVIA_SOURCE_DIR "/course/data/info/deployment.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        const deployment::Reading r = deployment::parse(content.toStdString());
        QVERIFY(r.problems.empty());
        const deployment::Texts placeholders;
        QCOMPARE(r.texts.institution, placeholders.institution);
        QCOMPARE(r.texts.department, placeholders.department);
        QCOMPARE(r.texts.specialty, placeholders.specialty);
        QCOMPARE(r.texts.publication, placeholders.publication);
        QCOMPARE(r.texts.compiler, placeholders.compiler);
        QCOMPARE(r.texts.compilerPosition, placeholders.compilerPosition);
        QCOMPARE(r.texts.developer, placeholders.developer);
        QCOMPARE(r.texts.developerDepartment, placeholders.developerDepartment);
        QCOMPARE(r.texts.developerPosition, placeholders.developerPosition);
        QCOMPARE(r.texts.city, placeholders.city);
        QCOMPARE(r.texts.year, placeholders.year);
        for (const char* key :
             {"institution", "department", "specialty", "publication", "compiler", "compiler_position",
              "developer", "developer_department", "developer_position", "city", "year"})
            QVERIFY2(content.contains("\n" + QByteArray(key) + " = "), key);
    }

    void titleScreenAndInformationWindowsShowTheCourseTexts() {
        CourseFolder folder;
        {
            Running run;
            QCOMPARE(label(run.program.form3.get(), "Label1"), QStringLiteral("Университет"));
        }
        folder.write(QStringLiteral("data/info/deployment.txt"),
                     QStringLiteral("institution = Қарағанды техникалық университеті\n"
                                    "specialty = 5B060400 — «Физика»\n"
                                    "compiler = Сейітова А.Б.\n"
                                    "city = Қарағанды\n"
                                    "year = 2027\n")
                         .toUtf8());
        Running run;
        QWidget* title = run.program.form3.get();
        QCOMPARE(label(title, "Label1"), QStringLiteral("Қарағанды техникалық университеті"));
        QCOMPARE(label(title, "Label7"), QStringLiteral("5B060400 — «Физика»"));
        QCOMPARE(label(title, "Label2"), QStringLiteral("Физика кафедрасы")); // not in the file
        QCOMPARE(label(title, "Label4"), QStringLiteral("Ортавия"));
        QVERIFY(label(title, "Label6").startsWith(QStringLiteral("Құрастырушы: Сейітова А.Б.\n")));
        QCOMPARE(label(title, "Label5"), QStringLiteral("Қарағанды — 2027"));
        QCOMPARE(label(run.program.okRightDlg.get(), "Label3"), QStringLiteral("5B060400 — «Физика»"));
        QCOMPARE(label(run.program.okRightDlg.get(), "Label5"), QStringLiteral("Қарағанды, 2027"));
        QVERIFY(label(run.program.form5.get(), "Label2").contains(QStringLiteral("Сейітова А.Б.")));
        QCOMPARE(label(run.program.form5.get(), "Label3"), QStringLiteral("Қарағанды — 2027"));
    }

    void initMakesAFreshCourseFolderFromTheSourceTemplate() {
        QTemporaryDir scratch;
        const QString course = scratch.filePath(QStringLiteral("new/course"));
        const Run r = tool({QStringLiteral("init"), course});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("Папка курса создана")));
        const QMap<QString, QByteArray> made = tree(course);
        QMap<QString, QByteArray> expected = tree(QStringLiteral(ORTAVIA_SOURCE_DIR "/course/data"));
        QMap<QString, QByteArray> expectedUnderData;
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            if (!it.key().endsWith(QLatin1String(".lock")))
                expectedUnderData.insert(QStringLiteral("data/") + it.key(), it.value());
        QCOMPARE(made, expectedUnderData);
        QVERIFY(made.contains(QStringLiteral("data/info/tumb.db")));
        QVERIFY(made.contains(QStringLiteral("data/info/deployment.txt")));
        QVERIFY(made.contains(QStringLiteral("data/tests/test1.ini")));
        for (const QString& name : made.keys())
            QVERIFY2(!name.endsWith(QLatin1String(".txt")) ||
                         name == QLatin1String("data/info/deployment.txt"),
                     qPrintable(name)); // no question sources, no journal

        // An empty folder that exists is filled as well.
        const QString empty = scratch.filePath(QStringLiteral("empty"));
        QVERIFY(QDir().mkpath(empty));
        QCOMPARE(tool({QStringLiteral("init"), empty}).status, 0);
        QCOMPARE(tree(empty), made);
    }

    void initRefusesAFolderThatIsNotEmptyAndWritesNothing() {
        QTemporaryDir scratch;
        QFile users(scratch.filePath(QStringLiteral("users")));
        QVERIFY(users.open(QIODevice::WriteOnly) && users.write("Айгүл\r\n") > 0);
        users.close();
        const QMap<QString, QByteArray> before = tree(scratch.path());
        const Run r = tool({QStringLiteral("init"), scratch.path()});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("не пуста")), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("ничего не записано")));
        QCOMPARE(tree(scratch.path()), before);
        QVERIFY(!QFileInfo::exists(scratch.filePath(QStringLiteral("data"))));

        // A file in the folder's place is refused as well; a wrong call is a usage error.
        const Run onFile = tool({QStringLiteral("init"), users.fileName()});
        QCOMPARE(onFile.status, 1);
        QVERIFY(onFile.err.contains(QStringLiteral("это файл, а не папка")));
        QCOMPARE(tool({QStringLiteral("init")}).status, 2);
        QCOMPARE(tree(scratch.path()), before);
    }

    void versionIsPrintedWithoutADisplay() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the program would need a real display
        p.setProcessEnvironment(env);
        for (const char* program : {"ortavia", "ortavia-tests"}) {
            p.start(QStringLiteral(ORTAVIA_BINARY_DIR "/") + QLatin1String(program),
                    {QStringLiteral("--version")});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                     QLatin1String(program) + QStringLiteral(" ") + QStringLiteral(ORTAVIA_VERSION) + '\n');
        }
    }
};

ORTAVIA_TEST_MAIN(DeploymentTest)
#include "test_deployment.moc"
