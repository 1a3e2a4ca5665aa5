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
const QString kTool = QStringLiteral(ORTAVIA_BINARY_DIR "/ortavia-tests");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Run {
    int status;
    QString out, err;
};

Run tool(const QStringList& args) {
    QProcess p;
    p.start(kTool, args);
    if (!p.waitForFinished(30000))
        return {-1, {}, QStringLiteral("did not finish")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
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
        QVERIFY2(QFile::exists(kTool),
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
        QVERIFY(ok.out.contains(QStringLiteral("вопросов 12")));
        QCOMPARE(readAll(folder.file(QStringLiteral("out/Test4.ini"))),
                 readAll(kCourse + "/data/tests/test4.ini"));
    }

    void toolChecksAndShows() {
        QVERIFY(QFile::exists(kTool));
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

    void toolRefusesBadCalls() {
        QVERIFY(QFile::exists(kTool));
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
