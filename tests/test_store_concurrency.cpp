// Several copies of the program writing one INI file at once, and writers killed in mid-write.
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "store/ini.h"

using namespace ortavia;

namespace {

QByteArray B(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string slurp(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

std::string valueOf(int i) {
    return "value " + std::to_string(i) + " " + std::string(400 + i % 50, 'x');
}

// The file as the writers in these tests make it: "[s]" and then key lines, every line ended by
// CR LF. Anything else is a torn or mixed file.
bool wellFormed(const std::string& c, int* keys = nullptr) {
    if (c.empty())
        return true;
    if (c.rfind("[s]\r\n", 0) != 0)
        return false;
    int n = 0;
    for (size_t pos = 5; pos < c.size();) {
        size_t end = c.find("\r\n", pos);
        if (end == std::string::npos)
            return false;
        std::string_view line(c.data() + pos, end - pos);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || line[0] != 'n')
            return false;
        if (line.substr(eq + 1) != valueOf(std::stoi(std::string(line.substr(1, eq - 1)))))
            return false;
        ++n;
        pos = end + 2;
    }
    if (keys)
        *keys = n;
    return true;
}

} // namespace

class ConcurrencyTest : public QObject {
    Q_OBJECT
private slots:
    void severalProcessesWriteOneFile() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/shared.ini";
        constexpr int kProcs = 4, kWrites = 200;
        std::vector<pid_t> kids;
        for (int k = 0; k < kProcs; ++k) {
            pid_t pid = fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                int rc = 0;
                for (int i = 0; i < kWrites; ++i) {
                    try {
                        // Half into one shared section, half into a section of this process.
                        const std::string section = i % 2 ? "shared" : "proc" + std::to_string(k);
                        ini::write(path, section, "p" + std::to_string(k) + "i" + std::to_string(i),
                                   "v" + std::to_string(k * 1000 + i));
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
        const std::string content = slurp(path);
        for (int k = 0; k < kProcs; ++k)
            for (int i = 0; i < kWrites; ++i) {
                const std::string section = i % 2 ? "shared" : "proc" + std::to_string(k);
                QCOMPARE(B(ini::readFrom(content, section, "p" + std::to_string(k) + "i" + std::to_string(i),
                                         "-")),
                         B("v" + std::to_string(k * 1000 + i)));
            }
        // One header per section, one line per key, nothing else.
        QCOMPARE(std::count(content.begin(), content.end(), '\n'), long(kProcs * kWrites + kProcs + 1));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // file and lock
    }

    void killedWriterLosesNothingThatReturned() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/killed.ini";
        std::mt19937 rng(12345);
        int next = 0;
        int torn = 0, reads = 0;
        std::set<int> done;
        for (int round = 0; round < 40; ++round) {
            int fds[2];
            QCOMPARE(pipe(fds), 0);
            const int base = next;
            pid_t pid = fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                ::close(fds[0]);
                for (int i = base;; ++i) {
                    ini::write(path, "s", "n" + std::to_string(i), valueOf(i));
                    if (::write(fds[1], &i, sizeof i) != sizeof i) // reported only once it returned
                        _exit(1);
                }
            }
            ::close(fds[1]);
            // Each writer completes one write at least, however busy the machine is.
            int first;
            QCOMPARE(::read(fds[0], &first, sizeof first), ssize_t(sizeof first));
            done.insert(first);
            next = std::max(next, first + 1);
            // Read the file while the child writes, until a random moment; then kill it.
            QElapsedTimer t;
            t.start();
            const qint64 until = 2 + qint64(rng() % 40);
            while (t.elapsed() < until) {
                ++reads;
                if (!wellFormed(slurp(path)))
                    ++torn;
            }
            QCOMPARE(kill(pid, SIGKILL), 0);
            int status = 0;
            QCOMPARE(waitpid(pid, &status, 0), pid);
            QVERIFY(WIFSIGNALED(status));
            int i;
            while (::read(fds[0], &i, sizeof i) == sizeof i) {
                done.insert(i);
                next = std::max(next, i + 1);
            }
            ::close(fds[0]);

            const std::string content = slurp(path);
            int keys = 0;
            QVERIFY2(wellFormed(content, &keys), content.substr(0, 200).c_str());
            for (int d : done)
                QCOMPARE(B(ini::readFrom(content, "s", "n" + std::to_string(d), "-")), B(valueOf(d)));
            // At most the one write the child could not report yet goes beyond what was reported.
            QVERIFY(keys >= int(done.size()) && keys <= next + 1);
        }
        QCOMPARE(torn, 0);
        QVERIFY(reads > 0);
        QVERIFY(done.size() >= 40);
        qInfo("%d completed writes in 40 killed writers, %d reads during the writes", int(done.size()),
              reads);
        // A temporary file left by the last killed writer is removed by the next write.
        ini::write(path, "s", "n0", valueOf(0));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
};

QTEST_GUILESS_MAIN(ConcurrencyTest)
#include "test_store_concurrency.moc"
