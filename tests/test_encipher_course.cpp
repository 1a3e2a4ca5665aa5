// The ten tests of the sample course: the committed test files are a fresh conversion of their
// plain sources and sound as the test run reads them; and the command-line companion
// ortavia-tests, which converts, checks and shows them.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "store/codepage.h"
#include "store/fsys.h"
#include "store/store.h"
#include "store/textfile.h"
#include "support/harness.h"
#include "testing/encipher.h"
#include "testing/testing.h"

using namespace ortavia;
namespace enc = testing::encipher;

using ortavia::testsupport::Contents;
using ortavia::testsupport::CourseFolder;

namespace {

const QString kCourse = QStringLiteral(ORTAVIA_SOURCE_DIR "/course");
const QString kSources = QStringLiteral(ORTAVIA_SOURCE_DIR "/examples/tests"); // the plain question files

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Run = testsupport::ToolRun;

Run tool(const QStringList& args) {
    return testsupport::runTool(args);
}

} // namespace

class EncipherCourseTest : public QObject {
    Q_OBJECT
private slots:
    void committedTestsAreAFreshConversion_data() {
        QTest::addColumn<int>("k");
        for (int k = 1; k <= 10; ++k)
            QTest::newRow(qPrintable(QStringLiteral("test%1").arg(k))) << k;
    }
    void committedTestsAreAFreshConversion() {
        QFETCH(int, k);
        const QString name = QStringLiteral("test%1").arg(k);
        const QString sourcePath = kSources + QStringLiteral("/") + name + QStringLiteral(".txt");
        const QString committed = kCourse + QStringLiteral("/data/tests/") + name + QStringLiteral(".ini");

        // The source: code page text with CR LF line ends, at least ten questions of five answers.
        const QByteArray raw = readAll(sourcePath);
        QVERIFY(!raw.isEmpty());
        QCOMPARE(raw.count("\r\n"), raw.count('\n'));
        const std::vector<std::string> lines = textfile::readLines(sourcePath.toStdString());
        QVERIFY(enc::sourceRefusal(lines).empty());

        CourseFolder folder(Contents::Nothing);
        enc::Working w;
        const enc::Outcome o = enc::encipherFile(sourcePath.toStdString(), name.toStdString(), w);
        QVERIFY(o.result.questions >= 10);
        QVERIFY2(o.result.notes.empty(), o.result.notes.empty() ? "" : o.result.notes.front().text.c_str());
        QCOMPARE(readAll(committed), readAll(folder.file(name + QStringLiteral(".ini"))));

        // Sound as the run reads it, every answer with its letter prefix and exactly one marked.
        QVERIFY(QDir::setCurrent(kCourse));
        enc::TestFile f;
        const std::vector<std::string> problems =
            enc::checkFile("\\data\\tests\\" + name.toStdString() + ".ini", &f);
        QVERIFY2(problems.empty(), problems.empty() ? "" : problems.front().c_str());
        QCOMPARE(f.count, o.result.questions);
        QCOMPARE(testing::questionCount(name.toStdString()), o.result.questions);
        for (const enc::Question& q : f.questions) {
            QVERIFY(!q.text.empty());
            for (int a = 0; a < 5; ++a)
                QVERIFY(q.answers[a].starts_with(std::string(1, char('A' + a)) + ")"));
            const int right = q.right[0] - '1';
            QVERIFY(q.answers[right].ends_with(" "));
        }
    }

    void toolConvertsLikeTheWindow() {
        QVERIFY2(QFile::exists(testsupport::kTool),
                 "ortavia-tests is not built (cmake --build builds it with everything)");
        CourseFolder folder(Contents::Nothing);
        const Run r = tool({QStringLiteral("encipher"), kSources + QStringLiteral("/test4.txt"),
                            QStringLiteral("out/Test4.ini")});
        QCOMPARE(r.status, 1); // no folder "out"
        QVERIFY(r.err.contains(QStringLiteral("Нет папки")));
        QVERIFY(QDir().mkdir(QStringLiteral("out")));
        const Run ok = tool({QStringLiteral("encipher"), kSources + QStringLiteral("/test4.txt"),
                             QStringLiteral("out/Test4.ini")});
        QCOMPARE(ok.status, 0);
        QVERIFY(ok.out.contains(QStringLiteral("вопросов: 12")));
        QCOMPARE(readAll(folder.file(QStringLiteral("out/Test4.ini"))),
                 readAll(kCourse + "/data/tests/test4.ini"));
    }

    void toolWorksInAFolderTheCodePageCannotHold() {
        CourseFolder folder(Contents::Nothing);
        QVERIFY(QDir().mkpath(QStringLiteral("café/data")));
        QVERIFY(QFile::copy(kCourse + "/data/tests/test1.ini", QStringLiteral("café/data/test1.ini")));
        const Run show = tool({QStringLiteral("show"), QStringLiteral("café/data/test1.ini")});
        QVERIFY2(show.status == 0, qPrintable(show.err));
        QVERIFY(show.out.contains(QStringLiteral("Правильный ответ: 3 (C)")));
        const Run check = tool({QStringLiteral("check"), folder.file(QStringLiteral("café/data/test1.ini"))});
        QVERIFY2(check.status == 0, qPrintable(check.err));
        QFile source(folder.file(QStringLiteral("café/q.txt")));
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write(QByteArray(testsupport::cp("Вопрос?\r\nA) да*\r\nB) нет\r\n").c_str()));
        source.close();
        const Run enc =
            tool({QStringLiteral("encipher"), QStringLiteral("café/q.txt"), QStringLiteral("café/T1.ini")});
        QVERIFY2(enc.status == 0, qPrintable(enc.err));
        QVERIFY(QFile::exists(folder.file(QStringLiteral("café/T1.ini"))));
        const Run name = tool({QStringLiteral("check"), QStringLiteral("café/tést☕.ini")});
        QCOMPARE(name.status, 1);
        QVERIFY2(name.err.contains(QStringLiteral("кодовой странице")), qPrintable(name.err));
    }

    void toolChecksAndShows() {
        QVERIFY(QFile::exists(testsupport::kTool));
        for (int k = 1; k <= 10; ++k) {
            const Run r =
                tool({QStringLiteral("check"), kCourse + QStringLiteral("/data/tests/test%1.ini").arg(k)});
            QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        }
        const Run show = tool({QStringLiteral("show"), kCourse + QStringLiteral("/data/tests/test1.ini")});
        QCOMPARE(show.status, 0);
        QVERIFY(show.out.contains(QStringLiteral("Вопрос 12: ")));
        QVERIFY(show.out.contains(QStringLiteral("  * C) -4 м/с ")));
        QVERIFY(show.out.contains(QStringLiteral("Правильный ответ: 3 (C)")));

        CourseFolder folder(Contents::Nothing);
        QFile broken(folder.file(QStringLiteral("broken.ini")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        const std::string content = "[1]\r\nq=" + store::crypt("Q") + "\r\nap=" + store::crypt("7") +
                                    "\r\n[inf]\r\nvsego=" + store::crypt("2") + "\r\n";
        broken.write(content.data(), static_cast<qint64>(content.size()));
        broken.close();
        const Run bad = tool({QStringLiteral("check"), QStringLiteral("broken.ini")});
        QCOMPARE(bad.status, 1);
        QVERIFY(bad.out.contains(QStringLiteral("нет ключа «a1»")));
        QVERIFY(bad.out.contains(QStringLiteral("ap = «7»")));
        QVERIFY(bad.out.contains(QStringLiteral("Нет раздела [2]")));
        QCOMPARE(tool({QStringLiteral("show"), QStringLiteral("broken.ini")}).status, 1);
        QCOMPARE(tool({QStringLiteral("check"), QStringLiteral("missing.ini")}).status, 1);
    }

    // Every message says what is the matter with the argument given.
    void toolMessagesReadRight() {
        QVERIFY(QFile::exists(testsupport::kTool));
        CourseFolder folder(Contents::Nothing);
        const QString src = kSources + QStringLiteral("/test1.txt");
        const auto encipher = [&](const QString& out) {
            return tool({QStringLiteral("encipher"), src, out});
        };

        // A name that does end in ".ini" but has no test name before it.
        Run r = encipher(QStringLiteral(".ini"));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("нет названия теста перед \".ini\"")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("должно оканчиваться")));
        r = encipher(QStringLiteral("Test1.txt"));
        QVERIFY2(r.err.contains(QStringLiteral("должно оканчиваться на \".ini\"")), qPrintable(r.err));
        r = encipher(QStringLiteral("Введите название теста (Test1-Test10).ini"));
        QVERIFY2(r.err.contains(QStringLiteral("подсказка окна шифрования")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("в поле")));

        // A folder part that is a file, a path ending in '/', a folder given as the test file.
        QFile plain(folder.file(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(QDir().mkdir(QStringLiteral("sub")));
        r = encipher(QStringLiteral("plain.txt/T.ini"));
        QVERIFY2(r.err.contains(QStringLiteral("это файл, а не папка для файла теста")), qPrintable(r.err));
        r = tool({QStringLiteral("check"), QStringLiteral("plain.txt/T.ini")});
        QVERIFY2(r.err.contains(QStringLiteral("это файл, а не папка")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("Нет папки")));
        r = tool({QStringLiteral("check"), QStringLiteral("none/T.ini")});
        QVERIFY2(r.err.contains(QStringLiteral("Нет папки")), qPrintable(r.err));
        r = tool({QStringLiteral("check"), QStringLiteral("plain.txt/")});
        QVERIFY2(r.err.contains(QStringLiteral("укажите файл, а не папку")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("это папка")));
        r = tool({QStringLiteral("check"), QStringLiteral("sub")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("это папка, а не файл")), qPrintable(r.err));

        // A missing file is not called a faulty one.
        r = tool({QStringLiteral("check"), QStringLiteral("missing.ini")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("не найден.")), qPrintable(r.err));
        QVERIFY(!r.out.contains(QStringLiteral("неисправен")));

        // A missing source: the reason and the closing sentence stay apart.
        r = tool({QStringLiteral("encipher"), QStringLiteral("nowhere.txt"), QStringLiteral("T.ini")});
        QVERIFY2(r.err.contains(QStringLiteral(". Файл теста не изменён.")), qPrintable(r.err));

        // A check that stops at its hundredth problem does not count its stop as an error.
        const std::string many = "[inf]\r\nvsego=" + store::crypt("150") + "\r\n";
        QFile f(folder.file(QStringLiteral("many.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(many.data(), static_cast<qint64>(many.size()));
        f.close();
        r = tool({QStringLiteral("check"), QStringLiteral("many.ini")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out.count(QStringLiteral("ошибка: ")), 100);
        QVERIFY2(r.out.contains(QStringLiteral("ошибок не меньше 100 (проверены вопросы 1–100 из 150)")),
                 qPrintable(r.out.right(300)));
        r = tool({QStringLiteral("show"), QStringLiteral("many.ini")});
        QVERIFY(r.out.contains(QStringLiteral("Правильный ответ: нет ключа ap")));
        QVERIFY2(r.err.contains(QStringLiteral("Проверка остановлена (ошибок не меньше 100)")),
                 qPrintable(r.err.right(300)));
    }

    void toolRefusesBadCalls() {
        QVERIFY(QFile::exists(testsupport::kTool));
        CourseFolder folder(Contents::Nothing);
        QCOMPARE(tool({}).status, 2);
        QVERIFY(tool({}).err.contains(QStringLiteral("Использование")));
        QCOMPARE(tool({QStringLiteral("frobnicate")}).status, 2);
        QCOMPARE(tool({QStringLiteral("check")}).status, 2);
        QCOMPARE(tool({QStringLiteral("--help")}).status, 0);
        const QString src = kSources + QStringLiteral("/test1.txt");
        for (const QString& out :
             {QStringLiteral("users.ini"), QStringLiteral("Test1.txt"), QStringLiteral("..ini")}) {
            const Run r = tool({QStringLiteral("encipher"), src, out});
            QVERIFY2(r.status == 1, qPrintable(out));
            QVERIFY(!r.err.isEmpty());
            QVERIFY(!QFile::exists(folder.file(out)));
        }
        const Run missing =
            tool({QStringLiteral("encipher"), QStringLiteral("nowhere.txt"), QStringLiteral("T.ini")});
        QCOMPARE(missing.status, 1);
        QVERIFY(missing.err.contains(QStringLiteral("Не удалось прочитать файл вопросов")));
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("T.ini"))));
    }
};

QTEST_GUILESS_MAIN(EncipherCourseTest)
#include "test_encipher_course.moc"
