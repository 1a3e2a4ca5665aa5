// The INI layer: the text rules on small fixtures (exact bytes) and the file operations.
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"

using namespace ortavia;

namespace {

QByteArray B(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string slurp(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll().toStdString();
}

void spit(const std::string& path, std::string_view content) {
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content.data(), qint64(content.size())), qint64(content.size()));
}

QStringList dirEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

// Whether `chattr +i` works here (it needs root and a file system with the attribute).
bool canMakeImmutable(const QString& dir) {
    QString probe = dir + "/probe";
    if (!QDir().mkpath(probe))
        return false;
    bool ok = QProcess::execute("chattr", {"+i", probe}) == 0;
    if (ok) {
        QFile f(probe + "/x");
        ok = !f.open(QIODevice::WriteOnly);
        QProcess::execute("chattr", {"-i", probe});
    }
    QDir(probe).removeRecursively();
    return ok;
}

} // namespace

class IniTest : public QObject {
    Q_OBJECT
private slots:
    // --- reading ---------------------------------------------------------------------------
    void readBasic() {
        const std::string c = "[a]\r\nk=1\r\nx=2\r\n[b]\r\nk=3\r\n";
        QCOMPARE(B(ini::readFrom(c, "a", "k", "d")), B("1"));
        QCOMPARE(B(ini::readFrom(c, "a", "x", "d")), B("2"));
        QCOMPARE(B(ini::readFrom(c, "b", "k", "d")), B("3"));
        QCOMPARE(B(ini::readFrom(c, "b", "x", "d")), B("d"));
        QCOMPARE(B(ini::readFrom(c, "c", "k", "d")), B("d"));
        QCOMPARE(B(ini::readFrom("", "a", "k", "d")), B("d"));
    }
    void readValueVerbatim() {
        const std::string c = "[s]\r\n  key  =  \"a=b\" ; not a comment  \r\nq='x'\r\n";
        QCOMPARE(B(ini::readFrom(c, "s", "key", "")), B("  \"a=b\" ; not a comment  "));
        QCOMPARE(B(ini::readFrom(c, "s", "q", "")), B("'x'"));
    }
    void readEmptyValue() { QCOMPARE(B(ini::readFrom("[s]\nk=\n", "s", "k", "def")), B("")); }
    void readHeaderForms() {
        // Blanks before '[' and inside the brackets; text after ']' ignored; no ']' at all.
        QCOMPARE(B(ini::readFrom(" \t[  one \t] trailing text\nk=1\n", "one", "k", "-")), B("1"));
        QCOMPARE(B(ini::readFrom("[two words ]\nk=2\n", "two words", "k", "-")), B("2"));
        QCOMPARE(B(ini::readFrom("[open  \nk=3\n", "open", "k", "-")), B("3"));
        QCOMPARE(B(ini::readFrom("[a]b]\nk=4\n", "a", "k", "-")), B("4"));
        QCOMPARE(B(ini::readFrom("[]\nk=5\n", "", "k", "-")), B("5"));
        // '[' not at the start of a line opens nothing.
        QCOMPARE(B(ini::readFrom("[x]\nv=[y]\nk=6\n", "y", "k", "-")), B("-"));
        QCOMPARE(B(ini::readFrom("[x]\nv=[y]\nk=6\n", "x", "k", "-")), B("6"));
    }
    void readLinesBeforeFirstSection() {
        const std::string c = "k=0\r\n[s]\r\nk=1\r\n";
        QCOMPARE(B(ini::readFrom(c, "", "k", "-")), B("-"));
        QCOMPARE(B(ini::readFrom(c, "s", "k", "-")), B("1"));
    }
    void readComments() {
        const std::string c = "[s]\r\n;k=1\r\n  ; k=2\r\nk=3\r\n";
        QCOMPARE(B(ini::readFrom(c, "s", "k", "-")), B("3"));
        QCOMPARE(B(ini::readFrom(c, "s", ";k", "-")), B("-"));
    }
    void readLineWithoutEquals() {
        QCOMPARE(B(ini::readFrom("[s]\nk\nk=1\n", "s", "k", "-")), B("1"));
        QCOMPARE(B(ini::readFrom("[s]\nk\n", "s", "k", "-")), B("-"));
    }
    void readKeyTrimmed() {
        QCOMPARE(B(ini::readFrom("[s]\n \t my key \t=v\n", "s", "my key", "-")), B("v"));
        QCOMPARE(B(ini::readFrom("[s]\nmy key=v\n", "  s ", "  my key  ", "-")), B("v"));
    }
    void readCaseInsensitive() {
        // "[Иван]" and "[Әсел]" in the code page, asked for as "иВАН" and "әСЕЛ".
        const std::string c = "[\xC8\xE2\xE0\xED]\r\nKey=1\r\n[\xA3\xF1\xE5\xEB]\r\n\xCA\xB4\xEB=2\r\n";
        QCOMPARE(B(ini::readFrom(c, "\xE8\xC2\xC0\xCD", "kEY", "-")), B("1"));
        QCOMPARE(B(ini::readFrom(c, "\xBC\xD1\xC5\xCB", "\xEA\xA5\xCB", "-")), B("2"));
        QCOMPARE(B(ini::readFrom(c, "\xBC\xD1\xC5", "\xEA\xA5\xCB", "-")), B("-"));
    }
    void readDuplicates() {
        const std::string c = "[s]\nk=1\nk=2\n[S]\nk=3\nz=4\n";
        QCOMPARE(B(ini::readFrom(c, "s", "k", "-")), B("1"));
        QCOMPARE(B(ini::readFrom(c, "s", "z", "-")), B("-")); // only the first [s] is searched
    }
    void readLineEnds() {
        for (std::string_view e : {"\r\n", "\n", "\r"}) {
            std::string c = "[a]" + std::string(e) + "k=1" + std::string(e) + "[b]" + std::string(e) + "k=2";
            QCOMPARE(B(ini::readFrom(c, "a", "k", "-")), B("1"));
            QCOMPARE(B(ini::readFrom(c, "b", "k", "-")), B("2"));
        }
        QCOMPARE(B(ini::readFrom("[a]\r\rk=1\n\r\n[b]\rk=2\r", "b", "k", "-")), B("2"));
    }
    void readDefault() {
        QCOMPARE(B(ini::readFrom("", "s", "k", "  def  ")), B("  def"));
        QCOMPARE(B(ini::readFrom("", "s", "k", "   ")), B(""));
        QCOMPARE(B(ini::readFrom("", "s", "k", "d\t")), B("d\t"));
    }
    void readNoBomHandling() {
        // A byte order mark is part of the first line, so that line is no header.
        QCOMPARE(B(ini::readFrom("\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "-")), B("-"));
    }
    void readLongValues() {
        const std::string v2047(2047, 'x'), v2048 = std::string(2047, 'y') + "z";
        QCOMPARE(ini::readFrom("[s]\nk=" + v2047 + "\n", "s", "k", "").size(), size_t(2047));
        QCOMPARE(B(ini::readFrom("[s]\nk=" + v2048 + "\n", "s", "k", "")), B(std::string(2047, 'y')));
        QCOMPARE(ini::readFrom("", "s", "k", std::string(3000, 'd')).size(), ini::kMaxValue);
    }
    void readNulInContent() {
        const std::string c("[s]\nk=a\0b\nz=1\n", 14);
        QCOMPARE(B(ini::readFrom(c, "s", "k", "-")), B(std::string("a\0b", 3)));
        QCOMPARE(B(ini::readFrom(c, "s", "z", "-")), B("1"));
    }

    // --- writing ---------------------------------------------------------------------------
    void writeIntoEmpty() { QCOMPARE(B(ini::writeInto("", "s", "k", "v")), B("[s]\r\nk=v\r\n")); }
    void writeNewSectionAppended() {
        QCOMPARE(B(ini::writeInto("[a]\nx=1\n", "b", "k", "v")), B("[a]\nx=1\n[b]\r\nk=v\r\n"));
        QCOMPARE(B(ini::writeInto("[a]\nx=1", "b", "k", "v")), B("[a]\nx=1\r\n[b]\r\nk=v\r\n"));
        QCOMPARE(B(ini::writeInto("[a]\rx=1\r", "b", "k", "v")), B("[a]\rx=1\r[b]\r\nk=v\r\n"));
        QCOMPARE(B(ini::writeInto("[a]\r\n\r\n", "b", "k", "v")), B("[a]\r\n\r\n[b]\r\nk=v\r\n"));
        QCOMPARE(B(ini::writeInto("; only a comment", "b", "k", "v")),
                 B("; only a comment\r\n[b]\r\nk=v\r\n"));
    }
    void writeReplaceKeepsLine() {
        // Spelling of the key, blanks around it and the line's own end stay.
        QCOMPARE(B(ini::writeInto("[S]\n  KeY \t= old value\nz=1\n", "s", "key", "new")),
                 B("[S]\n  KeY \t=new\nz=1\n"));
        QCOMPARE(B(ini::writeInto("[s]\rk=1\r[t]\r\n", "s", "k", "22")), B("[s]\rk=22\r[t]\r\n"));
        QCOMPARE(B(ini::writeInto("[s]\r\nk=1", "s", "k", "")), B("[s]\r\nk="));
        QCOMPARE(B(ini::writeInto("[s]\nk=1\nk=2\n", "s", "k", "3")), B("[s]\nk=3\nk=2\n"));
    }
    void writeNewKeyAfterLastKeyLine() {
        QCOMPARE(B(ini::writeInto("[s]\na=1\n; note\n\nb=2\n; after\n\n[t]\nc=3\n", "s", "k", "v")),
                 B("[s]\na=1\n; note\n\nb=2\nk=v\r\n; after\n\n[t]\nc=3\n"));
        // No key line: directly after the header.
        QCOMPARE(B(ini::writeInto("[s]\n; note\n\n[t]\n", "s", "k", "v")), B("[s]\nk=v\r\n; note\n\n[t]\n"));
        // Header or last key line without a line end.
        QCOMPARE(B(ini::writeInto("[s]", "s", "k", "v")), B("[s]\r\nk=v\r\n"));
        QCOMPARE(B(ini::writeInto("[s]\na=1", "s", "k", "v")), B("[s]\na=1\r\nk=v\r\n"));
        // A line without '=' is no key line.
        QCOMPARE(B(ini::writeInto("[s]\na=1\nnoise\n", "s", "k", "v")), B("[s]\na=1\nk=v\r\nnoise\n"));
    }
    void writeOnlyFirstDuplicateSection() {
        QCOMPARE(B(ini::writeInto("[s]\na=1\n[s]\nk=2\n", "s", "k", "v")), B("[s]\na=1\nk=v\r\n[s]\nk=2\n"));
    }
    void writeNamesTrimmedValueCutAtNul() {
        QCOMPARE(B(ini::writeInto("", "  s  ", " k ", std::string("a b \0tail", 9))), B("[s]\r\nk=a b \r\n"));
        QCOMPARE(B(ini::writeInto("", "s", "k", std::string("\0x", 2))), B("[s]\r\nk=\r\n"));
    }
    void writeCaseInsensitiveCyrillic() {
        const std::string c = "[\xC8\xE2\xE0\xED]\r\nk=1\r\n"; // [Иван]
        QCOMPARE(B(ini::writeInto(c, "\xE8\xC2\xC0\xCD", "K", "2")), B("[\xC8\xE2\xE0\xED]\r\nk=2\r\n"));
    }
    void writeLeavesOtherBytes() {
        const std::string c = "\xEF\xBB\xBF; head\r\n[a]\n x = 1 \r\n\t\r\n[b]\rz=\x01\x02\r\n";
        const std::string w = ini::writeInto(c, "b", "z", "9");
        QCOMPARE(B(w), B("\xEF\xBB\xBF; head\r\n[a]\n x = 1 \r\n\t\r\n[b]\rz=9\r\n"));
    }

    // --- erasing ---------------------------------------------------------------------------
    void eraseSectionRules() {
        QCOMPARE(B(ini::eraseFrom("[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c]\r\nz=3\r\n", "B")),
                 B("[a]\r\nx=1\r\n[c]\r\nz=3\r\n"));
        // Comments and blank lines stay, key lines and other text go.
        QCOMPARE(B(ini::eraseFrom("[a]\n; about a\nx=1\n\n  junk\ny=2\n[c]\n", "a")),
                 B("; about a\n\n[c]\n"));
        QCOMPARE(B(ini::eraseFrom("[a]\nx=1\n[a]\ny=2\n", "a")), B("[a]\ny=2\n"));
        QCOMPARE(B(ini::eraseFrom("[a]\nx=1\n", "missing")), B("[a]\nx=1\n"));
        QCOMPARE(B(ini::eraseFrom("k=0\n[a]\nx=1", "a")), B("k=0\n"));
        QCOMPARE(B(ini::eraseFrom("[a]\rx=1\r[b]\ry=2", "a")), B("[b]\ry=2"));
    }
    void eraseLeavesOthersByteForByte() {
        const std::string a = "[a]\r\nx= 1 \r\n; c\r\n", b = "[b]\nk=v\n",
                          c = "  [c] tail\r\nq=\x7f\x80\xff\r";
        QCOMPARE(B(ini::eraseFrom(a + b + c, "b")), B(a + c));
        QCOMPARE(B(ini::eraseFrom(a + b + c, "c")), B(a + b));
        QCOMPARE(B(ini::eraseFrom(a + b + c, "a")), B("; c\r\n" + b + c));
    }

    // --- files -----------------------------------------------------------------------------
    void fileWriteCreatesAndReads() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/new.ini";
        QCOMPARE(B(ini::read(path, "s", "k", "def ")), B("def"));
        ini::write(path, "s", "k", "v");
        QCOMPARE(B(slurp(path)), B("[s]\r\nk=v\r\n"));
        ini::write(path, "s", "k2", "w");
        ini::write(path, "t", "k", "x");
        QCOMPARE(B(slurp(path)), B("[s]\r\nk=v\r\nk2=w\r\n[t]\r\nk=x\r\n"));
        QCOMPARE(B(ini::read(path, "S", "K2", "")), B("w"));
        // Only the file and its lock remain; no temporary file is left behind.
        QCOMPARE(dirEntries(dir.path()), QStringList({"new.ini", "new.ini.lock"}));
    }
    void fileBackslashNames() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Data/Tests"));
        spit(dir.path().toStdString() + "/Data/Tests/Test3.ini", "[1]\r\nq=a\r\n");
        const std::string formed = dir.path().toStdString() + "\\data\\tests\\test3.ini";
        QCOMPARE(B(ini::read(formed, "1", "q", "")), B("a"));
        ini::write(formed, "1", "q", "b");
        QCOMPARE(B(slurp(dir.path().toStdString() + "/Data/Tests/Test3.ini")), B("[1]\r\nq=b\r\n"));
    }
    void fileLongValues() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/long.ini";
        ini::write(path, "s", "a", std::string(2047, 'a'));
        ini::write(path, "s", "b", std::string(2048, 'b'));
        QCOMPARE(B(ini::read(path, "s", "a", "")), B(std::string(2047, 'a')));
        QCOMPARE(B(ini::read(path, "s", "b", "")), B(std::string(2047, 'b')));
        QCOMPARE(B(slurp(path)),
                 B("[s]\r\na=" + std::string(2047, 'a') + "\r\nb=" + std::string(2048, 'b') + "\r\n"));
    }
    void fileEraseMissingChangesNothing() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/none.ini";
        ini::eraseSection(path, "s");
        QVERIFY(dirEntries(dir.path()).isEmpty()); // neither the file nor its lock is created
        spit(path, "[a]\nx=1");
        struct stat before;
        QCOMPARE(::stat(path.c_str(), &before), 0);
        ini::eraseSection(path, "b");
        struct stat after;
        QCOMPARE(::stat(path.c_str(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino); // not even replaced by an equal copy
        QCOMPARE(B(slurp(path)), B("[a]\nx=1"));
        ini::eraseSection(path, "A");
        QCOMPARE(B(slurp(path)), B(""));
    }
    void fileKeepsPermissionBits() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/perm.ini";
        spit(path, "[s]\nk=1\n");
        QCOMPARE(::chmod(path.c_str(), 0640), 0);
        ini::write(path, "s", "k", "2");
        struct stat st;
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        QCOMPARE(B(slurp(path)), B("[s]\nk=2\n"));
    }
    void fileMissingFolder() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/nope/x.ini";
        try {
            ini::write(path, "s", "k", "v");
            QFAIL("no error");
        } catch (const Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), "Unable to write to " + dir.path() + "/nope/x.ini");
        }
        QVERIFY(!QDir(dir.path() + "/nope").exists());
    }
    void fileReadOnlyFile() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/ro.ini";
        spit(path, "[s]\nk=1\n");
        QCOMPARE(::chmod(path.c_str(), 0444), 0);
        for (int op = 0; op < 3; ++op) {
            try {
                if (op == 0)
                    ini::write(path, "s", "k", "2");
                else if (op == 1)
                    ini::eraseSection(path, "s");
                else {
                    ini::Batch b(path);
                    b.write("t", "x", "y");
                    b.commit();
                }
                QFAIL("no error");
            } catch (const Error& e) {
                QCOMPARE(QString::fromUtf8(e.what()), "Unable to write to " + dir.path() + "/ro.ini");
            }
        }
        QCOMPARE(B(slurp(path)), B("[s]\nk=1\n"));
        QCOMPARE(B(ini::read(path, "s", "k", "")), B("1"));
    }
    void fileReadOnlyFolder() {
        QTemporaryDir dir;
        if (!canMakeImmutable(dir.path()))
            QSKIP("chattr +i is not available here (needs root and ext2/3/4, xfs or btrfs), and root "
                  "ignores the mode bits of a folder");
        const QString ro = dir.path() + "/ro";
        QVERIFY(QDir().mkpath(ro));
        const std::string path = ro.toStdString() + "/x.ini";
        spit(path, "[s]\nk=1\n");
        ini::write(path, "s", "k", "1"); // the lock file exists from now on
        QCOMPARE(QProcess::execute("chattr", {"+i", ro}), 0);
        auto undo = qScopeGuard([&] { QProcess::execute("chattr", {"-i", ro}); });
        try {
            ini::write(path, "s", "k", "2");
            QFAIL("no error");
        } catch (const Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), "Unable to write to " + ro + "/x.ini");
        }
        try {
            ini::write(ro.toStdString() + "/new.ini", "s", "k", "2"); // no lock file there yet
            QFAIL("no error");
        } catch (const Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), "Unable to write to " + ro + "/new.ini");
        }
        QCOMPARE(B(slurp(path)), B("[s]\nk=1\n"));
        QCOMPARE(dirEntries(ro), QStringList({"x.ini", "x.ini.lock"}));
    }
    void fileDiskFull() {
        // A file size limit makes the write of the temporary file fail as a full disk would.
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/full.ini";
        const std::string old = "[s]\r\nk=" + std::string(1000, 'o') + "\r\n";
        spit(path, old);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool thrown = false;
        try {
            ini::write(path, "s", "k", std::string(10000, 'n'));
        } catch (const Error& e) {
            thrown = QString::fromUtf8(e.what()) == "Unable to write to " + dir.path() + "/full.ini";
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(thrown);
        QCOMPARE(B(slurp(path)), B(old));
        QCOMPARE(dirEntries(dir.path()), QStringList({"full.ini", "full.ini.lock"}));
    }
    void fileStaleTempIgnoredAndRemoved() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/t.ini";
        spit(path, "[s]\r\nk=good\r\n");
        // What a writer killed between creating and renaming its temporary file leaves behind.
        spit(dir.path().toStdString() + "/.t.ini.tmp.99999.1", "[s]\r\nk=torn");
        spit(dir.path().toStdString() + "/.t.ini.tmp.x", "not ours");
        QCOMPARE(B(ini::read(path, "s", "k", "")), B("good"));
        ini::write(path, "s", "k2", "v");
        QCOMPARE(B(slurp(path)), B("[s]\r\nk=good\r\nk2=v\r\n"));
        QCOMPARE(dirEntries(dir.path()), QStringList({".t.ini.tmp.x", "t.ini", "t.ini.lock"}));
    }

    // --- batches ---------------------------------------------------------------------------
    void batchEmptyChangesNothing() {
        QTemporaryDir dir;
        ini::Batch b(dir.path().toStdString() + "/b.ini");
        QVERIFY(b.empty());
        b.commit();
        QVERIFY(dirEntries(dir.path()).isEmpty());
    }
    void batchSameBytesAsOneByOne() {
        QTemporaryDir dir;
        std::mt19937 rng(20240611);
        const char* sections[] = {"a", "B", "\xC8\xE2\xE0\xED", "\xE8\xC2\xC0\xCD", "c d", " a "};
        const char* keys[] = {"k", "K", "x", "\xCA\xB4\xEB", "long key"};
        const char* starts[] = {"; start\n[a]\nk=0\n\n[z]\rq=1",
                                "[B]\r\nk=1\r\n[a]\r\nx=2\r\n; note\r\n[A ]\r\nk=3\r\n",
                                "  [c d\nK = 4\n[\xC8\xE2\xE0\xED]\nlong key=5\n\n\n[a]\n"};
        for (int round = 0; round < 120; ++round) {
            const std::string one = dir.path().toStdString() + "/one" + std::to_string(round) + ".ini";
            const std::string all = dir.path().toStdString() + "/all" + std::to_string(round) + ".ini";
            if (round % 4) {
                const std::string start = starts[round % 4 - 1];
                spit(one, start);
                spit(all, start);
            }
            ini::Batch batch(all);
            const int ops = 1 + int(rng() % 25);
            std::string s = sections[0];
            for (int i = 0; i < ops; ++i) {
                // Later rounds mostly write runs into one section, as records and tests are written.
                if (round < 40 || rng() % 10 < 3)
                    s = sections[rng() % std::size(sections)];
                if (rng() % 5 == 0) {
                    ini::eraseSection(one, s);
                    batch.eraseSection(s);
                } else {
                    const std::string k = keys[rng() % std::size(keys)];
                    const std::string v = "v" + std::to_string(rng() % 1000) + (rng() % 3 ? "" : " =x ");
                    ini::write(one, s, k, v);
                    batch.write(s, k, v);
                }
            }
            QVERIFY(!batch.empty());
            batch.commit();
            QCOMPARE(B(slurp(all)), B(slurp(one)));
        }
    }
    // The text of a batch against the same changes made one by one, on contents built from the
    // bytes that carry the structure (brackets, line ends, '=', ';', blanks), with values and
    // names that hold line breaks and brackets themselves.
    void batchTextSameAsOneByOne() {
        struct Op {
            bool erase;
            std::string section, key, value;
        };
        const auto compare = [](const std::string& start, const std::vector<Op>& ops) {
            ini::Batch batch("/nonexistent/b.ini");
            std::string one = start;
            for (const Op& op : ops) {
                if (op.erase) {
                    batch.eraseSection(op.section);
                    one = ini::eraseFrom(one, op.section);
                } else {
                    batch.write(op.section, op.key, op.value);
                    one = ini::writeInto(one, op.section, op.key, op.value);
                }
            }
            std::string all = start;
            batch.applyTo(all);
            return all == one;
        };
        // Cases that the cutting into sections must get right.
        QVERIFY(compare("", {{false, "a", "k", "1"}, {false, "A", "k", "2"}, {false, "b", "x", "3"}}));
        QVERIFY(compare("k=v", {{false, "a", "k", "1"}, {false, "b", "k", "2"}}));
        QVERIFY(compare("[a]\rk=v\r[b]\r\n\n; c\n[c]\n", {{true, "b", "", ""}, {false, "a", "n", "1"}}));
        QVERIFY(compare("[a]\nk=1\n; c\n\n[a]\nk=2\n[A]\nk=3\n", {{true, "a", "", ""},
                                                                  {false, "a", "k", "x"},
                                                                  {true, "A", "", ""},
                                                                  {false, "a", "k", "y"},
                                                                  {true, "a", "", ""},
                                                                  {false, "a", "k", "z"}}));
        QVERIFY(compare("[a]\nk=1\n[b]\nk=2\n",
                        {{false, "a", "k", "x\r\n[b]\r\nk=new"}, {false, "b", "k", "y"}}));
        QVERIFY(compare("[a]\nk=1\n",
                        {{false, "a", "[b", "1"}, {false, "b=1", "k", "2"}, {false, "a", "k", "3"}}));
        QVERIFY(
            compare("[a]\n", {{false, "x]y", "k", "1"}, {false, "x", "k", "2"}, {false, "x]y", "k", "3"}}));
        QVERIFY(compare("[a]\nk=1\r",
                        {{false, "b", "k", "1\r"}, {false, "c", "k", "\n[a]"}, {false, "a", "k", "2"}}));
        QVERIFY(compare("[a]\n",
                        {{false, "s\nt", "k", "1"}, {false, "t", "k", "2"}, {false, "s", "k\r[u", "3"}}));

        std::mt19937 rng(7);
        const std::string alphabet = "[]\r\n=; ak";
        const auto text = [&](size_t max) {
            std::string t;
            for (size_t n = rng() % (max + 1); n > 0; --n)
                t += alphabet[rng() % alphabet.size()];
            return t;
        };
        const char* names[] = {"a", "A", " a", "k", "", "]"};
        for (int round = 0; round < 3000; ++round) {
            std::vector<Op> ops;
            for (int n = 1 + int(rng() % 8); n > 0; --n) {
                const bool erase = rng() % 4 == 0;
                const std::string section = rng() % 5 ? names[rng() % std::size(names)] : text(3);
                const std::string key = rng() % 5 ? names[rng() % std::size(names)] : text(3);
                ops.push_back({erase, section, key, text(4)});
            }
            const std::string start = text(40);
            if (!compare(start, ops))
                QFAIL(qPrintable("round " + QString::number(round) + ": " +
                                 QString::fromLatin1(B(start).toPercentEncoding())));
        }
    }

    // --- many reads from one content ---------------------------------------------------------
    void sectionsReadAsReadFrom() {
        const std::string content =
            "k=0\n[a]\nk=1\nK=2\n; k=3\n[ A ]\nk=4\nx=5\n[b]\r\n k = 6 \r\n[\xC8\xE2]\rk=7\r"
            "[c\n[d]x\nk=\n[e]\nk=" +
            std::string(3000, 'v') + "\n";
        const ini::Sections sections(content);
        const char* names[] = {"a", "A", " a ", "b", "\xE8\xC2", "c", "d", "e", "x", ""};
        const char* keys[] = {"k", "K", "x", "y", ""};
        for (const char* section : names)
            for (const char* key : keys)
                QCOMPARE(B(sections.read(section, key, "def ")),
                         B(ini::readFrom(content, section, key, "def ")));
        QCOMPARE(sections.find("a", "x"), std::nullopt); // only the first [a] counts
        QCOMPARE(sections.find("b", "k"), std::optional<std::string_view>(" 6 "));
        QCOMPARE(sections.find("d", "k"), std::optional<std::string_view>(""));
        QCOMPARE(sections.find("e", "k")->size(), size_t(3000)); // whole, not cut
        QCOMPARE(sections.read("e", "k", "").size(), ini::kMaxValue);
        QCOMPARE(ini::Sections("").find("a", "k"), std::nullopt);
    }

    void batchOfErasesOnMissingFile() {
        QTemporaryDir dir;
        ini::Batch b(dir.path().toStdString() + "/m.ini");
        b.eraseSection("x");
        b.commit();
        QVERIFY(dirEntries(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(IniTest)
#include "test_store_ini.moc"
