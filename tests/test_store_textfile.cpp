// Plain text files: reading lines, atomic replacement and appending.
#include <QtTest>

#include <functional>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/error.h"
#include "store/ini.h"
#include "store/textfile.h"

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
    f.write(content.data(), qint64(content.size()));
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "<no error>";
}

} // namespace

class TextFileTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    std::string p(const char* name) const { return dir_.path().toStdString() + "/" + name; }

private slots:
    void readLinesAllLineEnds() {
        spit(p("a.txt"), "one\r\ntwo\nthree\rfour\r\n\r\nlast");
        QCOMPARE(textfile::readLines(p("a.txt")),
                 std::vector<std::string>({"one", "two", "three", "four", "", "last"}));
        spit(p("b.txt"), "x\r\n");
        QCOMPARE(textfile::readLines(p("b.txt")), std::vector<std::string>({"x"}));
        spit(p("c.txt"), "");
        QVERIFY(textfile::readLines(p("c.txt")).empty());
        spit(p("d.txt"), "\n\r\n\r");
        QCOMPARE(textfile::readLines(p("d.txt")), std::vector<std::string>({"", "", ""}));
    }
    void readLinesErrors() {
        QCOMPARE(B(errorOf([&] { textfile::readLines(p("none.txt")); })),
                 B("Cannot open file \"" + p("none.txt") + "\". No such file or directory"));
        QCOMPARE(B(errorOf([&] { textfile::readLines(dir_.path().toStdString()); })),
                 B("Cannot open file \"" + dir_.path().toStdString() + "\". Is a directory"));
        QVERIFY(textfile::readLinesIfExists(p("none.txt")).empty());
        QVERIFY(textfile::readLinesIfExists(p("nofolder\\none.txt")).empty());
        QCOMPARE(B(errorOf([&] { textfile::readLinesIfExists(dir_.path().toStdString()); })),
                 B("Cannot open file \"" + dir_.path().toStdString() + "\". Is a directory"));
    }
    void readLinesEnglishReasonInAnyLocale() {
        const char* old = setlocale(LC_ALL, nullptr);
        const std::string saved = old ? old : "C";
        setlocale(LC_ALL, "ru_RU.UTF-8"); // may not exist; then the check is as in "C"
        const std::string e = errorOf([&] { textfile::readLines(p("none.txt")); });
        setlocale(LC_ALL, saved.c_str());
        QVERIFY(e.ends_with(". No such file or directory"));
    }
    void readCaseInsensitiveName() {
        spit(p("Users.TXT"), "u1\r\nu2\r\n");
        QCOMPARE(textfile::readLines(dir_.path().toStdString() + "\\users.txt"),
                 std::vector<std::string>({"u1", "u2"}));
    }
    void joinLines() {
        QCOMPARE(B(textfile::joinLines({"a", "", "b"})), B("a\r\n\r\nb\r\n"));
        QCOMPARE(B(textfile::joinLines({})), B(""));
    }
    void replaceWholeFile() {
        textfile::replace(p("r.txt"), "new\r\n");
        QCOMPARE(B(slurp(p("r.txt"))), B("new\r\n"));
        QCOMPARE(::chmod(p("r.txt").c_str(), 0600), 0);
        textfile::replace(p("r.txt"), textfile::joinLines({"x", "y"}));
        QCOMPARE(B(slurp(p("r.txt"))), B("x\r\ny\r\n"));
        struct stat st;
        QCOMPARE(::stat(p("r.txt").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
        QVERIFY(QFile::exists(QString::fromStdString(p("r.txt.lock"))));
        const QStringList temps = QDir(dir_.path()).entryList({".r.txt.tmp.*"}, QDir::Files | QDir::Hidden);
        QVERIFY(temps.isEmpty());
    }
    void replaceErrors() {
        QCOMPARE(B(errorOf([&] { textfile::replace(p("missing/r.txt"), "x"); })),
                 B("Unable to write to " + p("missing/r.txt")));
        spit(p("ro.txt"), "old");
        QCOMPARE(::chmod(p("ro.txt").c_str(), 0444), 0);
        QCOMPARE(B(errorOf([&] { textfile::replace(p("ro.txt"), "new"); })),
                 B("Unable to write to " + p("ro.txt")));
        QCOMPARE(B(slurp(p("ro.txt"))), B("old"));
    }
    void appendLine() {
        textfile::appendLine(p("journal.txt"), "first");
        textfile::appendLine(p("journal.txt"), "");
        textfile::appendLine(p("journal.txt"), "third");
        QCOMPARE(B(slurp(p("journal.txt"))), B("first\r\n\r\nthird\r\n"));
        struct stat st;
        QCOMPARE(::stat(p("journal.txt").c_str(), &st), 0);
        const mode_t mask = umask(0);
        umask(mask);
        QCOMPARE(st.st_mode & 0777, mode_t(0666) & ~mask);
        // A file that does not end in a line break (a line cut short, an edit by hand): the next
        // line starts on a line of its own.
        spit(p("cut.txt"), "whole\r\ncut sh");
        textfile::appendLine(p("cut.txt"), "next");
        QCOMPARE(B(slurp(p("cut.txt"))), B("whole\r\ncut sh\r\nnext\r\n"));
    }
    void appendLineOnAFullDiskLeavesNoTornLine() {
        spit(p("full.txt"), "one\r\n");
        struct rlimit saved, small;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        small = saved;
        small.rlim_cur = 12; // room for part of the line only
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const std::string error = errorOf([&] { textfile::appendLine(p("full.txt"), "a long second line"); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(B(error), B("Unable to write to " + p("full.txt")));
        QCOMPARE(B(slurp(p("full.txt"))), B("one\r\n"));
        textfile::appendLine(p("full.txt"), "two");
        QCOMPARE(B(slurp(p("full.txt"))), B("one\r\ntwo\r\n"));
    }
    void symbolicLinksStayLinks() {
        QDir().mkpath(QString::fromStdString(p("real")));
        spit(p("real/data.txt"), "old\r\n");
        QCOMPARE(::symlink("real/data.txt", p("link.txt").c_str()), 0);
        textfile::replace(p("link.txt"), "new\r\n");
        ortavia::ini::write(p("link.txt"), "s", "k", "v");
        textfile::appendLine(p("link.txt"), "line");
        struct stat st;
        QCOMPARE(::lstat(p("link.txt").c_str(), &st), 0);
        QVERIFY(S_ISLNK(st.st_mode));
        QCOMPARE(B(slurp(p("real/data.txt"))), B("new\r\n[s]\r\nk=v\r\nline\r\n"));
        // The lock is the target's, so that copies reaching the file by either name exclude each other.
        QVERIFY(QFile::exists(QString::fromStdString(p("real/data.txt.lock"))));
        QVERIFY(!QFile::exists(QString::fromStdString(p("link.txt.lock"))));
        // A link whose target does not exist yet: the target is created, the link stays.
        QCOMPARE(::symlink("real/later.txt", p("dangling.txt").c_str()), 0);
        textfile::replace(p("dangling.txt"), "made");
        QCOMPARE(::lstat(p("dangling.txt").c_str(), &st), 0);
        QVERIFY(S_ISLNK(st.st_mode));
        QCOMPARE(B(slurp(p("real/later.txt"))), B("made"));
    }
    void linksOutOfTheCourseFolderAreRefused() {
        // A student who can write the course folder plants links to files of whoever writes next.
        const std::string course = p("course"), outside = p("outside");
        QDir().mkpath(QString::fromStdString(course + "/real"));
        QDir().mkpath(QString::fromStdString(outside));
        spit(outside + "/victim", "victim");
        QCOMPARE(::symlink((outside + "/victim").c_str(), (course + "/users").c_str()), 0);
        QCOMPARE(::symlink("../outside/made", (course + "/journal.txt").c_str()), 0); // dangling
        QCOMPARE(::symlink("real/inside.txt", (course + "/inside.txt").c_str()), 0);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(course)));
        const std::vector<std::function<void(const char*)>> writers = {
            [](const char* f) { textfile::replace(f, "new"); },
            [](const char* f) { ortavia::ini::write(f, "s", "k", "v"); },
            [](const char* f) { textfile::appendLine(f, "line"); },
        };
        for (std::size_t i = 0; i < writers.size(); ++i) {
            for (const char* planted : {"users", "journal.txt"}) {
                const std::string e = errorOf([&] { writers[i](planted); });
                QVERIFY2(e.find("символическая ссылка") != std::string::npos &&
                             e.find(planted) != std::string::npos,
                         (std::to_string(i) + ": " + e).c_str());
            }
            writers[i]("inside.txt"); // a link within the course works as before
        }
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(B(slurp(outside + "/victim")), B("victim"));
        QVERIFY(!QFile::exists(QString::fromStdString(outside + "/made")));
        const std::string inside = slurp(course + "/real/inside.txt");
        QVERIFY2(inside.starts_with("new") && inside.ends_with("k=v\r\nline\r\n"), inside.c_str());
    }
    void pipesDevicesAndFoldersAreRefusedWithoutWaiting() {
        alarm(30); // a pipe opened the blocking way would wait for a writer for good
        QCOMPARE(::mkfifo(p("fifo").c_str(), 0666), 0);
        QDir().mkpath(QString::fromStdString(p("folder")));
        for (const std::string& path : {p("fifo"), std::string("/dev/null"), p("folder")}) {
            const std::vector<std::function<void()>> uses = {
                [&] { textfile::readLines(path); },
                [&] { textfile::readLinesIfExists(path); },
                [&] { textfile::replace(path, "x"); },
                [&] { textfile::appendLine(path, "x"); },
                [&] { ortavia::ini::read(path, "s", "k", "d"); },
                [&] { ortavia::ini::write(path, "s", "k", "v"); },
            };
            for (std::size_t i = 0; i < uses.size(); ++i) {
                const std::string e = errorOf(uses[i]);
                const bool named = e.find(path) != std::string::npos;
                const bool plain = e.find("не обычный файл") != std::string::npos ||
                                   e.find("Is a directory") != std::string::npos;
                QVERIFY2(named && plain, (path + " use " + std::to_string(i) + ": " + e).c_str());
            }
        }
        struct stat st;
        QCOMPARE(::stat(p("fifo").c_str(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
        alarm(0);
    }
    void filesStayWritableForTheGroup() {
        if (geteuid() != 0)
            QSKIP("needs root to act as another user");
        // A course folder of group 4242 shared by students who are different users.
        constexpr gid_t kGroup = 4242;
        const std::string dir = p("shared");
        QCOMPARE(::chmod(dir_.path().toStdString().c_str(), 0711), 0); // the other user reaches it
        QCOMPARE(::mkdir(dir.c_str(), 0775), 0);
        QCOMPARE(::chown(dir.c_str(), 0, kGroup), 0);
        QCOMPARE(::chmod(dir.c_str(), 0775), 0);
        spit(dir + "/users", "a\r\n");
        QCOMPARE(::chown((dir + "/users").c_str(), 0, kGroup), 0);
        QCOMPARE(::chmod((dir + "/users").c_str(), 0664), 0);
        const pid_t pid = fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            int rc = 0;
            umask(002);
            if (setgroups(1, &kGroup) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(10);
            try {
                textfile::replace(dir + "/users", "a\r\nb\r\n");
                textfile::replace(dir + "/new.txt", "x");
                textfile::appendLine(dir + "/journal.txt", "x");
            } catch (const Error& e) {
                fprintf(stderr, "%s\n", e.what());
                rc = 11;
            }
            _exit(rc);
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        struct stat st;
        QCOMPARE(::stat((dir + "/users").c_str(), &st), 0);
        QCOMPARE(st.st_gid, kGroup);
        QCOMPARE(st.st_mode & 07777, mode_t(0664));
        QCOMPARE(B(slurp(dir + "/users")), B("a\r\nb\r\n"));
        for (const char* made : {"/new.txt", "/journal.txt"}) {
            QCOMPARE(::stat((dir + made).c_str(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0664)); // 0666 less the umask
        }
    }
    void newFilesTakeTheGroupOfAGroupWritableFolder() {
        if (geteuid() != 0)
            QSKIP("needs root to act as other users");
        // Students of group 4242 with a umask that keeps everything private, in a folder without the
        // set-group-ID bit: what the first creates, the second can still write.
        constexpr gid_t kGroup = 4242;
        const std::string dir = p("lab");
        QCOMPARE(::chmod(dir_.path().toStdString().c_str(), 0711), 0);
        QCOMPARE(::mkdir(dir.c_str(), 0775), 0);
        QCOMPARE(::chown(dir.c_str(), 0, kGroup), 0);
        QCOMPARE(::chmod(dir.c_str(), 0775), 0);
        const auto asStudent = [&](uid_t uid, const std::function<void()>& work) {
            const pid_t pid = fork();
            if (pid == 0) {
                umask(077);
                if (setgroups(1, &kGroup) != 0 || setgid(uid) != 0 || setuid(uid) != 0)
                    _exit(10);
                try {
                    work();
                } catch (const Error& e) {
                    fprintf(stderr, "%s\n", e.what());
                    _exit(11);
                }
                _exit(0);
            }
            int status = 0;
            return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        };
        const auto writeAll = [&] {
            textfile::replace(dir + "/users", "a\r\n");
            ortavia::ini::write(dir + "/users.ini", "a", "test1", "5");
            textfile::appendLine(dir + "/journal.txt", "a");
        };
        QCOMPARE(asStudent(65534, writeAll), 0);
        for (const char* made :
             {"/users", "/users.ini", "/journal.txt", "/users.lock", "/journal.txt.lock"}) {
            struct stat st;
            QCOMPARE(::stat((dir + made).c_str(), &st), 0);
            QVERIFY2(st.st_gid == kGroup && (st.st_mode & 0060) == 0060, made);
        }
        QCOMPARE(asStudent(65533, writeAll), 0);
        QCOMPARE(B(slurp(dir + "/journal.txt")), B("a\r\na\r\n"));
    }
    void appendLineErrors() {
        QCOMPARE(B(errorOf([&] { textfile::appendLine(p("missing/j.txt"), "x"); })),
                 B("Unable to write to " + p("missing/j.txt")));
        spit(p("roj.txt"), "old\r\n");
        QCOMPARE(::chmod(p("roj.txt").c_str(), 0444), 0);
        QCOMPARE(B(errorOf([&] { textfile::appendLine(p("roj.txt"), "x"); })),
                 B("Unable to write to " + p("roj.txt")));
        QCOMPARE(B(slurp(p("roj.txt"))), B("old\r\n"));
    }
    void appendLinesOfSeveralProcessesNeverInterleave() {
        const std::string path = p("shared-journal.txt");
        constexpr int kProcs = 4, kLines = 300;
        std::vector<pid_t> kids;
        for (int k = 0; k < kProcs; ++k) {
            pid_t pid = fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                int rc = 0;
                for (int i = 0; i < kLines; ++i) {
                    try {
                        textfile::appendLine(path, "proc " + std::to_string(k) + " line " +
                                                       std::to_string(i) + " " +
                                                       std::string(200, char('a' + k)));
                    } catch (...) {
                        rc = 1;
                    }
                }
                _exit(rc);
            }
            kids.push_back(pid);
        }
        for (pid_t pid : kids) {
            int status = 0;
            QCOMPARE(waitpid(pid, &status, 0), pid);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const std::vector<std::string> lines = textfile::readLines(path);
        QCOMPARE(int(lines.size()), kProcs * kLines);
        std::vector<int> next(kProcs, 0);
        for (const std::string& l : lines) {
            const int k = l[5] - '0';
            QVERIFY(k >= 0 && k < kProcs);
            QCOMPARE(B(l), B("proc " + std::to_string(k) + " line " + std::to_string(next[size_t(k)]++) +
                             " " + std::string(200, char('a' + k))));
        }
    }
};

QTEST_GUILESS_MAIN(TextFileTest)
#include "test_store_textfile.moc"
