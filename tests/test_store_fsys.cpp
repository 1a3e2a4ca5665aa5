// Formed file names resolved on the real file system.
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include "store/codepage.h"
#include "store/fsys.h"

using namespace ortavia;

namespace {

QByteArray B(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}
std::string cpOf(const char* utf8) {
    return *cp::fromUtf8(utf8);
}

void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

// Runs the test body in another current directory and goes back afterwards.
class CwdGuard {
public:
    explicit CwdGuard(const QString& dir) : old_(QDir::currentPath()) { QVERIFY(QDir::setCurrent(dir)); }
    ~CwdGuard() { QDir::setCurrent(old_); }

private:
    QString old_;
};

} // namespace

class FsysTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::string root_; // real path of dir_

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        root_ = QFileInfo(dir_.path()).canonicalFilePath().toStdString();
        QDir d(dir_.path());
        QVERIFY(d.mkpath("data/tests"));
        QVERIFY(d.mkpath("data/Prezent"));
        QVERIFY(d.mkpath("Иван/Әсел"));
        touch(dir_.path() + "/data/tests/Test3.ini");
        touch(dir_.path() + "/users.ini");
        touch(dir_.path() + "/Иван/Әсел/Тест.ini");
        QVERIFY(d.mkpath("exact/abc"));
        QVERIFY(d.mkpath("exact/ABC"));
    }

    void currentDirectory() {
        CwdGuard g(dir_.path());
        QCOMPARE(B(fsys::currentDirectory()), B(root_));
        QCOMPARE(B(fsys::storePath("\\users.ini")), B(root_ + "\\users.ini"));
        QCOMPARE(B(fsys::storePath("x")), B(root_ + "x")); // nothing added
        {
            CwdGuard inRoot("/");
            QCOMPARE(B(fsys::currentDirectory()), B("/"));
            QCOMPARE(B(fsys::storePath("\\users.ini")), B("/\\users.ini"));
            // The doubled separator is harmless (nothing is written there).
            QCOMPARE(B(fsys::resolve(fsys::storePath("\\users.ini"))), B("/users.ini"));
        }
    }
    void currentDirectoryInCodePage() {
        CwdGuard g(dir_.path() + "/Иван");
        QCOMPARE(B(fsys::currentDirectory()), B(*cp::fromUtf8(root_ + "/Иван")));
        QCOMPARE(B(fsys::resolve(fsys::storePath(cpOf("\\әсел\\тЕСТ.INI")))),
                 B(root_ + "/Иван/Әсел/Тест.ini"));
    }
    void resolveIgnoringCase() {
        CwdGuard g(dir_.path());
        QCOMPARE(B(fsys::resolve(fsys::storePath("\\data\\tests\\test3.ini"))),
                 B(root_ + "/data/tests/Test3.ini"));
        QCOMPARE(B(fsys::resolve("Data\\Prezent\\")), B(root_ + "/data/Prezent/"));
        QCOMPARE(B(fsys::resolve("DATA/PREZENT")), B(root_ + "/data/Prezent"));
        QCOMPARE(B(fsys::resolve(cpOf("иВАН\\әСЕЛ\\тест.ini"))), B(root_ + "/Иван/Әсел/Тест.ini"));
        QCOMPARE(B(fsys::resolve(root_ + "\\\\DATA//\\Tests\\\\TEST3.INI")),
                 B(root_ + "/data/tests/Test3.ini"));
    }
    void resolveMissingKeptAsWritten() {
        CwdGuard g(dir_.path());
        QCOMPARE(B(fsys::resolve("Data\\Missing\\New.ini")), B(root_ + "/data/Missing/New.ini"));
        QCOMPARE(B(fsys::resolve("DATA\\tests\\New.ini")), B(root_ + "/data/tests/New.ini"));
        QCOMPARE(B(fsys::resolve(cpOf("Новая папка\\Файл.ini"))), B(root_ + "/Новая папка/Файл.ini"));
    }
    void resolveExactFirst() {
        CwdGuard g(dir_.path());
        QCOMPARE(B(fsys::resolve("exact\\abc")), B(root_ + "/exact/abc"));
        QCOMPARE(B(fsys::resolve("exact\\ABC")), B(root_ + "/exact/ABC"));
        const QByteArray other = B(fsys::resolve("exact\\Abc"));
        QVERIFY(other == B(root_ + "/exact/abc") || other == B(root_ + "/exact/ABC"));
    }
    void resolveSkipsNamesOutsideTheCodePage() {
        CwdGuard g(dir_.path());
        QVERIFY(QDir(dir_.path()).mkpath("odd/λ"));
        // A name that is no UTF-8 at all.
        const std::string raw = root_ + "/odd/\xFF\xFE";
        const int fd = ::open(raw.c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        touch(dir_.path() + "/odd/Last.txt");
        const QByteArray found = B(fsys::resolve("ODD\\last.TXT"));
        ::unlink(raw.c_str()); // Qt could not remove it with the folder
        QCOMPARE(found, B(root_ + "/odd/Last.txt"));
    }
    void existsAndChangeDirectory() {
        CwdGuard g(dir_.path());
        QVERIFY(fsys::exists("DATA\\TESTS\\test3.ini"));
        QVERIFY(fsys::exists("data"));
        QVERIFY(!fsys::exists("data\\nothing.ini"));
        QVERIFY(fsys::setCurrentDirectory("DATA\\Tests"));
        QCOMPARE(B(fsys::currentDirectory()), B(root_ + "/data/tests"));
        QVERIFY(!fsys::setCurrentDirectory("no such folder"));
        QCOMPARE(B(fsys::currentDirectory()), B(root_ + "/data/tests"));
        QVERIFY(fsys::setCurrentDirectory(".."));
        QCOMPARE(B(fsys::currentDirectory()), B(root_ + "/data"));
        QCOMPARE(B(fsys::displayName("PREZENT\\x.htm")), B(root_ + "/data/Prezent/x.htm"));
    }
    void resolveEmptyAndRoot() {
        CwdGuard g(dir_.path());
        QCOMPARE(B(fsys::resolve("")), B(root_));
        QCOMPARE(B(fsys::resolve("\\")), B("/"));
        QCOMPARE(B(fsys::resolve("/")), B("/"));
    }
};

QTEST_GUILESS_MAIN(FsysTest)
#include "test_store_fsys.moc"
