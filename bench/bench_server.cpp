// The lab server under a class: N simulated students (default 300), each on a connection of its own,
// sign in, start a 12-question test, answer questions 1 to 11 at a steady pace, and all send their
// last answer within the same second. Prints requests per second, p50/p99 latency per request kind,
// the time from the first last answer sent to the last grade received, and the server's memory.
// Goals on the 2-core machine: p99 <= 50 ms for an answer, <= 200 ms for the end of a run, all
// ends within 5 s, resident memory <= 100 MB.
// With --web the students use the page for students instead: the page loaded, sign-in through the
// page's route, then the session cookie with the page's CSRF token and origin on every request.
// Run: ./build/bench/bench_server [--web] [students] [seconds between answers]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

#include "bench_support.h"
#include "course/server_link.h"
#include "store/store.h"
#include "testing/testing.h"

using namespace ortavia;

namespace {

constexpr int kQuestions = 12;

struct Student {
    std::unique_ptr<QNetworkAccessManager> nam;
    QByteArray token;
    QByteArray csrf; // the page's token against cross-site requests (--web): the page's, then the session's
    int index = 0;
    int next = 1; // the question to answer
    bool done = false;
};

std::map<QString, std::vector<double>> latencies; // ms, by request kind
int requests = 0, failures = 0;

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

long memoryOf(qint64 pid, const char* field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').front().toLong();
    return 0;
}

// Processor time (user + system) of a process, in seconds.
double cpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK))
                              : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool web = args.removeAll(QStringLiteral("--web")) > 0;
    const int n = args.size() > 0 ? std::max(1, args[0].toInt()) : 300;
    const double pace = args.size() > 1 ? std::max(0.05, args[1].toDouble()) : 1.0;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QDir().mkpath(QStringLiteral("data/tests"));
    bench::seedUsers(n, "1");
    {
        store::Batch test(testing::testFileName("test1"));
        for (int q = 1; q <= kQuestions; ++q) {
            test.write(std::to_string(q), "q", "Question " + std::to_string(q) + std::string(150, 'x'));
            for (int k = 1; k <= 5; ++k)
                test.write(std::to_string(q), "a" + std::to_string(k), "A) answer " + std::to_string(k));
            test.write(std::to_string(q), "ap", "1");
        }
        test.write("inf", "vsego", std::to_string(kQuestions));
        test.commit();
    }

    QProcess server;
    server.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../ortavia-server"));
    server.setArguments(
        {QStringLiteral("--course"), dir.path(), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    if (!server.waitForReadyRead(60000)) {
        std::fprintf(stderr, "bench_server: the server did not start\n");
        return 1;
    }
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(":(\\d+)/.*SHA-256 ([0-9A-F:]+)"))
                                          .match(QString::fromUtf8(server.readLine()));
    const QString base = QStringLiteral("https://127.0.0.1:") + m.captured(1);
    const std::string fingerprint = m.captured(2).toStdString();

    std::vector<Student> students(static_cast<std::size_t>(n));
    int finished = 0;
    QElapsedTimer wall, endPhase;
    wall.start();
    qint64 firstEnd = -1, lastEnd = 0;

    const auto send = [&](Student& s, const QString& kind, const QString& path, const QJsonObject& body,
                          std::function<void(const QJsonObject&)> then) {
        QNetworkRequest request(QUrl(base + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        if (!s.token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + s.token);
        if (web) {
            request.setRawHeader("Origin", base.toLatin1());
            request.setRawHeader("X-CSRF-Token", s.csrf);
        }
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        // An empty path with no body: the page itself, whose token the page's sign-in carries.
        QNetworkReply* reply = path == QStringLiteral("/")
                                   ? s.nam->get(request)
                                   : s.nam->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
        course::pinFingerprint(reply, fingerprint);
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, timer, kind, then] {
            latencies[kind].push_back(static_cast<double>(timer->nsecsElapsed()) / 1e6);
            ++requests;
            if (reply->error() != QNetworkReply::NoError) {
                ++failures;
                std::fprintf(stderr, "%s: %s\n", qPrintable(kind), qPrintable(reply->errorString()));
            }
            const QByteArray data = reply->readAll();
            QJsonObject object = QJsonDocument::fromJson(data).object();
            const QRegularExpressionMatch page =
                QRegularExpression(QStringLiteral("name=\"ortavia-page\" content=\"([0-9a-f]+)\""))
                    .match(QString::fromLatin1(data));
            if (page.hasMatch())
                object.insert(QStringLiteral("pageToken"), page.captured(1));
            then(object);
            reply->deleteLater();
        });
    };

    // The last answers: all students within one second, once every student has answered 11.
    int ready = 0, started = 0;
    const auto endAll = [&] {
        endPhase.start();
        for (Student& s : students)
            QTimer::singleShot(QRandomGenerator::global()->bounded(1000), [&, sp = &s] {
                if (firstEnd < 0)
                    firstEnd = endPhase.elapsed();
                send(*sp, QStringLiteral("end of run"), QStringLiteral("/api/run/answer"),
                     {{"question", kQuestions}, {"place", 1}}, [&](const QJsonObject& body) {
                         if (!body.contains(QStringLiteral("end")))
                             ++failures;
                         lastEnd = endPhase.elapsed();
                         if (++finished == n)
                             app.quit();
                     });
            });
    };
    std::function<void(Student&)> answerNext = [&](Student& s) {
        // Answers sent while the class is still signing in wait behind the sign-ins: counted apart.
        send(s, started < n ? QStringLiteral("answer, arrival") : QStringLiteral("answer"),
             QStringLiteral("/api/run/answer"), {{"question", s.next}, {"place", 1}},
             [&, sp = &s](const QJsonObject&) {
                 if (++sp->next < kQuestions)
                     QTimer::singleShot(static_cast<int>(pace * 1000), [&, sp] { answerNext(*sp); });
                 else if (++ready == n)
                     endAll();
             });
    };
    for (int i = 0; i < n; ++i) {
        Student& s = students[static_cast<std::size_t>(i)];
        s.index = i;
        s.nam = std::make_unique<QNetworkAccessManager>();
        // Sign-ins spread over the first two seconds, as a class arriving.
        const auto startTest = [&, sp = &s] {
            send(*sp, QStringLiteral("test start"), QStringLiteral("/api/run/start"), {{"test", "test1"}},
                 [&, sp](const QJsonObject&) {
                     ++started;
                     QTimer::singleShot(QRandomGenerator::global()->bounded(static_cast<int>(pace * 1000)),
                                        [&, sp] { answerNext(*sp); });
                 });
        };
        const QJsonObject account{{"name", QStringLiteral("student%1").arg(i)},
                                  {"password", QStringLiteral("pw%1").arg(i)}};
        // Sign-ins spread over the first two seconds, as a class arriving.
        QTimer::singleShot(QRandomGenerator::global()->bounded(2000), [&, sp = &s, account, startTest] {
            if (!web) {
                send(*sp, QStringLiteral("sign-in"), QStringLiteral("/api/signin"), account,
                     [&, sp, startTest](const QJsonObject& body) {
                         sp->token = body.value(QStringLiteral("token")).toString().toLatin1();
                         startTest();
                     });
                return;
            }
            send(*sp, QStringLiteral("page"), QStringLiteral("/"), {},
                 [&, sp, account, startTest](const QJsonObject& page) {
                     sp->csrf = page.value(QStringLiteral("pageToken")).toString().toLatin1();
                     send(*sp, QStringLiteral("sign-in"), QStringLiteral("/web/signin"), account,
                          [sp, startTest](const QJsonObject& body) {
                              sp->csrf = body.value(QStringLiteral("csrf")).toString().toLatin1();
                              startTest();
                          });
                 });
        });
    }
    QTimer::singleShot(600000, &app, &QCoreApplication::quit);
    QTimer rss;
    long peakRss = 0;
    QObject::connect(&rss, &QTimer::timeout,
                     [&] { peakRss = std::max(peakRss, memoryOf(server.processId(), "VmRSS:")); });
    rss.start(200);
    app.exec();
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    const long rssNow = memoryOf(server.processId(), "VmRSS:");
    const long hwm = memoryOf(server.processId(), "VmHWM:");
    const double serverCpu = cpuSeconds(server.processId());
    const double ownCpu = cpuSeconds(QCoreApplication::applicationPid());
    server.terminate();
    server.waitForFinished(5000);

    std::printf(
        "bench_server%s: %d students, an answer every %.2f s, %d requests in %.1f s (%.0f requests/s), "
        "%d failed\n",
        web ? " (the page's routes)" : "", n, pace, requests, seconds, requests / seconds, failures);
    for (const auto& [kind, v] : latencies)
        std::printf("  %-16s %5zu requests  p50 %7.1f ms  p99 %7.1f ms  max %7.1f ms\n", qPrintable(kind),
                    v.size(), percentile(v, 0.5), percentile(v, 0.99), percentile(v, 1.0));
    std::printf(
        "  %d of %d runs ended; the last answers sent over %.2f s, the last grade %.2f s after the first "
        "last answer\n",
        finished, n, 1.0, static_cast<double>(lastEnd - std::max<qint64>(firstEnd, 0)) / 1000.0);
    std::printf("  server memory: resident %ld kB now, %ld kB at most (sampled), high-water mark %ld kB\n",
                rssNow, peakRss, hwm);
    std::printf(
        "  processor time: server %.1f s, simulated students %.1f s (load average when run: see uptime)\n",
        serverCpu, ownCpu);
    return failures == 0 && finished == n ? 0 : 1;
}
