// The lab server from outside, as its clients see it: the real ortavia-server on a copy of the
// sample course, spoken to over HTTPS. What may never leave it, who may do what, the sign-in wait,
// a graded run and the lines it writes, and the faults: the server killed during a burst of
// finishing runs, restarted during a test, and a client that disappears.
#include <QCryptographicHash>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "course/course.h"
#include "course/server_link.h"
#include "reports/journal_stats.h"
#include "store/codepage.h"
#include "store/store.h"
#include "support/harness.h"
#include "support/lab_server.h"
#include "testing/options.h"
#include "testing/testing.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kServer = QStringLiteral(ORTAVIA_BINARY_DIR "/ortavia-server");
const QByteArray kAdminPassword = "Adm1nSecret";

// The real server on the current course folder.
class Server : public LabServerProcess {
public:
    explicit Server(const QStringList& extra = {}, int port = 0)
        : LabServerProcess(QDir::currentPath(), port, extra) {}
};

struct Reply {
    int status = 0;
    QJsonObject body;
    QByteArray raw;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
};

// One client: its own connection, the server's certificate pinned by its fingerprint.
class Client {
public:
    Client(const Server& server, std::string fingerprint = {})
        : base_(QStringLiteral("https://127.0.0.1:%1").arg(server.port())),
          fingerprint_(fingerprint.empty() ? server.fingerprint() : std::move(fingerprint)) {}
    QString token;
    QNetworkReply* send(const QString& path, const std::optional<QJsonObject>& body) {
        QNetworkRequest request(QUrl(base_ + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
        QNetworkReply* reply = body ? nam_.post(request, QJsonDocument(*body).toJson()) : nam_.get(request);
        course::pinFingerprint(reply, fingerprint_);
        return reply;
    }
    static Reply wait(QNetworkReply* reply) {
        if (!reply->isFinished()) {
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        Reply r;
        r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        r.raw = reply->readAll();
        r.body = QJsonDocument::fromJson(r.raw).object();
        r.error = reply->error();
        reply->deleteLater();
        return r;
    }
    Reply get(const QString& path) { return wait(send(path, std::nullopt)); }
    Reply post(const QString& path, const QJsonObject& body = {}) { return wait(send(path, body)); }
    Reply signIn(const QString& name, const QString& password) {
        Reply r = post(QStringLiteral("/api/signin"), {{"name", name}, {"password", password}});
        token = r.body.value(QStringLiteral("token")).toString();
        return r;
    }

private:
    QNetworkAccessManager nam_;
    QString base_;
    std::string fingerprint_;
};

int rightOf(int question) {
    return std::stoi(testing::rightAnswer("test1", question));
}

// Answers questions from..12 of test1 (right ones: questions <= right), the last reply returned.
Reply answerRun(Client& c, int from, int right) {
    Reply r;
    for (int q = from; q <= 12; ++q)
        r = c.post(QStringLiteral("/api/run/answer"),
                   {{"question", q}, {"place", q <= right ? rightOf(q) : rightOf(q) % 5 + 1}});
    return r;
}

// The lines of a course file of the current directory, as UTF-8.
QStringList linesOf(const char* file) {
    QFile f(QString::fromLatin1(file));
    f.open(QIODevice::ReadOnly);
    return QString::fromStdString(cp::toUtf8(f.readAll().toStdString()))
        .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

QStringList journal() {
    return linesOf("journal.txt");
}

std::string bytes(const QString& utf8) {
    return *cp::fromUtf8(utf8.toStdString());
}

std::string grade(const char* name) {
    return store::read(bytes(QString::fromUtf8(name)), "test1", "\\users.ini");
}

} // namespace

class TestServer : public QObject {
    Q_OBJECT
    std::unique_ptr<CourseFolder> course_;

private slots:
    void init() {
        course_ = std::make_unique<CourseFolder>(Contents::Everything);
        course_->write(QStringLiteral("data/info/tumb.db"), "admin|" + kAdminPassword + "|journal.txt\r\n");
    }
    void cleanup() { course_.reset(); }

    void boundary() {
        Server server;
        Client a(server), b(server), admin(server), nobody(server);
        for (const char* name : {"Айгүл", "Бекзат"})
            QCOMPARE(a.post(QStringLiteral("/api/register"),
                            {{"name", name}, {"password", QStringLiteral("pw-%1").arg(name)}})
                         .status,
                     200);
        QCOMPARE(b.signIn(QStringLiteral("Бекзат"), QStringLiteral("pw-Бекзат")).status, 200);
        QCOMPARE(a.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw-Айгүл")).status, 200);
        QCOMPARE(admin.signIn(QStringLiteral("admin"), QString::fromLatin1(kAdminPassword)).status, 200);
        const std::string before = course_->read(QStringLiteral("users.ini")).toStdString();

        QList<Reply> seen;
        const QStringList adminGets = {
            "/api/admin/settings", "/api/admin/users",    "/api/admin/record?name=Бекзат",
            "/api/admin/journal",  "/api/admin/overview", "/api/admin/statistics",
            "/api/admin/items",    "/api/admin/options",  "/api/admin/monitor"};
        // A student's token on every administrator route: 403; none or a forged one: 401.
        const QStringList testTools = {"/api/admin/test/items?number=1", "/api/admin/test/file?number=1"};
        for (const QString& path : adminGets + testTools) {
            QCOMPARE(a.get(path).status, 403);
            QCOMPARE(nobody.get(path).status, 401);
            if (!testTools.contains(path))
                seen << admin.get(path);
        }
        for (const char* path :
             {"/api/admin/settings", "/api/admin/pick", "/api/admin/delete", "/api/admin/options",
              "/api/admin/install", "/api/admin/test/install", "/api/admin/test/figures"})
            QCOMPARE(a.post(QString::fromLatin1(path), {{"name", "Бекзат"}, {"login", "x"}}).status, 403);
        nobody.token = QString(64, QLatin1Char('a'));
        QCOMPARE(nobody.get(QStringLiteral("/api/me")).status, 401);
        QCOMPARE(nobody.post(QStringLiteral("/api/run/start"), {{"test", "test1"}}).status, 401);

        // A student's own routes, with grades offered that nothing may take.
        seen << a.get(QStringLiteral("/api/me")) << a.get(QStringLiteral("/api/deployment"));
        Reply q = a.post(QStringLiteral("/api/run/start"),
                         {{"test", "test1"}, {"grade", 5}, {"grades", QJsonArray{5, 5}}});
        QCOMPARE(q.status, 200);
        QCOMPARE(a.post(QStringLiteral("/api/run/start"), {{"test", "test2"}}).status,
                 403); // topic 2 still locked
        q = a.post(QStringLiteral("/api/run/start"), {{"test", "test1"}});
        seen << q << a.get(QStringLiteral("/api/run"));
        for (int n = 1; n <= 3; ++n)
            seen << a.post(QStringLiteral("/api/run/answer"), {{"question", n}, {"place", 1}, {"grade", 5}});
        seen << a.post(QStringLiteral("/api/signout"), {{"grades", QJsonArray{5, 5, 5}}});
        QCOMPARE(course_->read(QStringLiteral("users.ini")).toStdString(), before); // no grade written

        // Documents: only pages of data\, never a test, a setting, a record or the server's key.
        QCOMPARE(nobody.get(QStringLiteral("/api/document?path=%5Cdata%5Cinfo%5Clig-1.html")).status, 200);
        for (const char* path : {"\\data\\info\\tumb.db", "\\users.ini", "\\data\\tests\\test1.ini",
                                 "\\data\\..\\users.ini", "/data/info/../../users.ini", "\\.server\\key.pem",
                                 "\\data\\info\\deployment.txt.lock", "data\\TESTS\\test1.ini"})
            QCOMPARE(nobody
                         .get(QStringLiteral("/api/document?path=") +
                              QUrl::toPercentEncoding(QString::fromUtf8(path)))
                         .status,
                     404);

        // The journal the administrator reads back is a file of the course, not a record or a secret.
        for (const char* journal : {"users.ini", "data/info/TUMB.db", "/etc/passwd", "../outside.txt",
                                    "answers.log", "data\\tests\\j.txt", ".server/key.pem"})
            QCOMPARE(
                admin.post(QStringLiteral("/api/admin/settings"), {{"login", "admin"}, {"journal", journal}})
                    .status,
                400);
        QCOMPARE(
            admin.post(QStringLiteral("/api/admin/settings"), {{"login", "admin"}, {"journal", "logs/j.txt"}})
                .status,
            200);
        QCOMPARE(course_->read(QStringLiteral("data/info/tumb.db")),
                 "admin|" + kAdminPassword + "|logs/j.txt\r\n");
        course_->write(QStringLiteral("data/info/tumb.db"), "admin|" + kAdminPassword + "|users.ini\r\n");
        Client later(server);
        later.signIn(QStringLiteral("admin"), QString::fromLatin1(kAdminPassword));
        QCOMPARE(later.get(QStringLiteral("/api/admin/journal")).status, 400);

        // Nothing seen holds a password, another student, the record file or a marked right answer.
        const QByteArray records = course_->read(QStringLiteral("users.ini"));
        for (const Reply& r : seen) {
            for (const QByteArray& secret :
                 {QByteArray("pw-"), kAdminPassword, records.mid(records.indexOf("password=") + 9, 6),
                  QByteArray("password")})
                QVERIFY2(!r.raw.contains(secret), r.raw.constData());
            for (const QJsonValue answer : r.body.value(QStringLiteral("answers")).toArray())
                QVERIFY2(!answer.toString().endsWith(QLatin1Char(' ')), qPrintable(answer.toString()));
            QVERIFY(!r.body.contains(QStringLiteral("right")) ||
                    r.body.value(QStringLiteral("right")).isDouble());
        }
        for (const Reply& r : seen.mid(adminGets.size()))
            QVERIFY2(!r.raw.contains("Бекзат"), r.raw.constData());
    }

    void transport() {
        Server server;
        // Plain HTTP gets no answer.
        QTcpSocket plain;
        plain.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(server.port()));
        QVERIFY(plain.waitForConnected());
        plain.write("POST /api/register HTTP/1.1\r\nHost: x\r\nContent-Length: "
                    "31\r\n\r\n{\"name\":\"Plain\",\"password\":\"p\"}");
        plain.waitForReadyRead(2000);
        QVERIFY(!plain.readAll().contains("HTTP/1.1"));
        // A client that expects another certificate sends nothing.
        std::string wrong = server.fingerprint();
        wrong[0] = wrong[0] == 'A' ? 'B' : 'A';
        Client fooled(server, wrong);
        const Reply r = fooled.post(QStringLiteral("/api/register"), {{"name", "Фальш"}, {"password", "p"}});
        QVERIFY(r.error != QNetworkReply::NoError);
        QVERIFY(r.status == 0);
        Client right(server);
        QCOMPARE(right.get(QStringLiteral("/api/admin/users")).status, 401);
        QVERIFY(!course_->read(QStringLiteral("users")).contains(cp::fromUtf8("Фальш")->c_str()));
        QVERIFY(!course_->read(QStringLiteral("users")).contains("Plain"));
    }

    void signInWait() {
        Server server;
        Client c(server);
        c.post(QStringLiteral("/api/register"), {{"name", "Данияр"}, {"password", "right"}});
        for (int i = 0; i < 5; ++i)
            QCOMPARE(c.signIn(QStringLiteral("Данияр"), QStringLiteral("wrong")).status, 401);
        // The sixth attempt waits, the right password too; another name does not.
        const Reply waiting = c.signIn(QStringLiteral("данияр"), QStringLiteral("right"));
        QCOMPARE(waiting.status, 429);
        QVERIFY(waiting.body.value(QStringLiteral("error"))
                    .toString()
                    .contains(QStringLiteral("Повторите через 30 с")));
        QCOMPARE(c.signIn(QStringLiteral("admin"), QString::fromLatin1(kAdminPassword)).status, 200);
    }

    void gradedRun() {
        Server server;
        Client c(server);
        c.post(QStringLiteral("/api/register"), {{"name", "Ерлан"}, {"password", "pw"}});
        QCOMPARE(c.signIn(QStringLiteral("Ерлан"), QStringLiteral("pw"))
                     .body.value(QStringLiteral("locked"))
                     .toArray()
                     .size(),
                 18);
        const Reply first = c.post(QStringLiteral("/api/run/start"), {{"test", "test1"}});
        QCOMPARE(first.body.value(QStringLiteral("count")).toInt(), 12);
        QCOMPARE(first.body.value(QStringLiteral("text")).toString(),
                 QString::fromStdString(cp::toUtf8(testing::question("test1", 1))));
        // Question 1 answered rightly twice: the repeat is not counted (9 of 12 right: grade 4); an
        // answer to a question not yet asked is refused.
        c.post(QStringLiteral("/api/run/answer"), {{"question", 1}, {"place", rightOf(1)}});
        const Reply repeat =
            c.post(QStringLiteral("/api/run/answer"), {{"question", 1}, {"place", rightOf(1)}});
        QCOMPARE(repeat.body.value(QStringLiteral("next")).toObject().value(QStringLiteral("number")).toInt(),
                 2);
        QCOMPARE(c.post(QStringLiteral("/api/run/answer"), {{"question", 4}, {"place", 1}}).status, 409);
        const Reply end = answerRun(c, 2, 9);
        QCOMPARE(end.body.value(QStringLiteral("end")).toObject().value(QStringLiteral("grade")).toInt(), 4);
        QCOMPARE(end.body.value(QStringLiteral("end")).toObject().value(QStringLiteral("right")).toInt(), 9);
        QCOMPARE(end.body.value(QStringLiteral("person"))
                     .toObject()
                     .value(QStringLiteral("locked"))
                     .toArray()
                     .size(),
                 16);

        // The lines as the test screen writes them: the record's twelve grades, one journal line,
        // one answer-log line per question.
        const std::string name = bytes(QStringLiteral("Ерлан"));
        for (int k = 1; k <= 12; ++k)
            QCOMPARE(store::read(name, "test" + std::to_string(k), "\\users.ini"),
                     std::string(k == 1 ? "4" : "0"));
        const QStringList lines = journal();
        QCOMPARE(lines.size(), 1);
        const std::string journalLine = bytes(lines[0]);
        const auto f = reports::splitJournalLine(journalLine);
        QVERIFY(f);
        const auto shape = [](std::string s) {
            return QString::fromStdString(s).replace(QRegularExpression("\\d"), "9");
        };
        QCOMPARE(shape(std::string(f->time)), shape(testing::journalTime()));
        QCOMPARE(std::string(f->date), testing::journalDate());
        QCOMPARE(journalLine, testing::journalLine(name, f->time, f->date, "test1", 4));
        const QStringList log = linesOf("answers.log");
        QCOMPARE(log.size(), 12);
        for (int q = 1; q <= 12; ++q) {
            const std::string line = bytes(log[q - 1]);
            const auto fields = reports::splitFields<7>(line);
            QVERIFY(fields);
            const int chosen = q <= 9 ? rightOf(q) : rightOf(q) % 5 + 1;
            QCOMPARE(line, testing::answerLogLine(name, (*fields)[1], f->date, "test1", q, chosen, q <= 9));
        }
    }

    void killedDuringFinishingRuns() {
        Server server;
        const int n = 50;
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < n; ++i) {
            auto c = std::make_unique<Client>(server);
            const QString name = QStringLiteral("Студент %1").arg(i);
            c->post(QStringLiteral("/api/register"), {{"name", name}, {"password", "pw"}});
            c->signIn(name, QStringLiteral("pw"));
            c->post(QStringLiteral("/api/run/start"), {{"test", "test1"}});
            for (int q = 1; q <= 11; ++q)
                c->post(QStringLiteral("/api/run/answer"),
                        {{"question", q}, {"place", q <= i % 12 ? rightOf(q) : rightOf(q) % 5 + 1}});
            clients.push_back(std::move(c));
        }
        // All 50 last answers at once; the server killed once a few have been answered.
        std::vector<QNetworkReply*> replies;
        int answered = 0;
        for (auto& c : clients) {
            replies.push_back(c->send(QStringLiteral("/api/run/answer"),
                                      QJsonObject{{"question", 12}, {"place", rightOf(12)}}));
            connect(replies.back(), &QNetworkReply::finished, this, [&] {
                if (++answered == 5)
                    server.kill();
            });
        }
        QTRY_VERIFY_WITH_TIMEOUT(answered == n, 20000);
        int finished = 0;
        const QStringList lines = journal();
        for (int i = 0; i < n; ++i) {
            const Reply r = Client::wait(replies[static_cast<std::size_t>(i)]);
            if (r.status != 200)
                continue;
            ++finished;
            const int g =
                r.body.value(QStringLiteral("end")).toObject().value(QStringLiteral("grade")).toInt();
            const std::string name = bytes(QStringLiteral("Студент %1").arg(i));
            QCOMPARE(store::read(name, "test1", "\\users.ini"), std::to_string(g));
            QCOMPARE(lines
                         .filter(QRegularExpression(
                             QStringLiteral("^Студент %1 \\| .* \\| test1 \\| %2$").arg(i).arg(g)))
                         .size(),
                     1);
        }
        qInfo("%d of %d runs finished before the kill", finished, n);
        QVERIFY(finished >= 5);
        for (const QString& line : lines)
            QVERIFY2(reports::splitJournalLine(bytes(line)), qPrintable(line));
        QVERIFY(lines.size() <= n);
    }

    void restartDuringTest() {
        auto server = std::make_unique<Server>();
        const int port = server->port();
        Client c(*server);
        c.post(QStringLiteral("/api/register"), {{"name", "Жанар"}, {"password", "pw"}});
        c.signIn(QStringLiteral("Жанар"), QStringLiteral("pw"));
        c.post(QStringLiteral("/api/run/start"), {{"test", "test1"}});
        std::vector<int> right{0};
        for (int q = 1; q <= 12; ++q)
            right.push_back(rightOf(q));
        const QString sixth = QString::fromStdString(cp::toUtf8(testing::question("test1", 6)));
        for (int q = 1; q <= 5; ++q)
            c.post(QStringLiteral("/api/run/answer"), {{"question", q}, {"place", right[q]}});
        server.reset();
        // The server's own folder: the session's record readable by the server alone, the token
        // nowhere in clear.
        QCOMPARE(QFileInfo(QStringLiteral(".server")).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                                         QFile::ExeOwner | QFile::ReadUser |
                                                                         QFile::WriteUser | QFile::ExeUser);
        QFile record(QStringLiteral(".server/sessions.log"));
        QCOMPARE(record.permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArray kept = record.readAll();
        QVERIFY(
            kept.contains(QCryptographicHash::hash(c.token.toLatin1(), QCryptographicHash::Sha256).toHex()));
        QVERIFY(!kept.contains(c.token.toLatin1()));
        // The run goes on with the test as it was read at its start, whatever the folder holds now.
        QVERIFY(QFile::remove(QStringLiteral("data/tests/test1.ini")));
        server = std::make_unique<Server>(QStringList{}, port);
        const Reply now = c.get(QStringLiteral("/api/run"));
        QCOMPARE(
            now.body.value(QStringLiteral("question")).toObject().value(QStringLiteral("text")).toString(),
            sixth);
        // The answer sent again after the restart is not counted twice.
        const Reply repeat =
            c.post(QStringLiteral("/api/run/answer"), {{"question", 5}, {"place", right[5]}});
        QCOMPARE(repeat.body.value(QStringLiteral("next")).toObject().value(QStringLiteral("number")).toInt(),
                 6);
        Reply end;
        for (int q = 6; q <= 12; ++q)
            end = c.post(QStringLiteral("/api/run/answer"),
                         {{"question", q}, {"place", q <= 11 ? right[q] : right[q] % 5 + 1}});
        QCOMPARE(end.body.value(QStringLiteral("end")).toObject().value(QStringLiteral("right")).toInt(), 11);
        QCOMPARE(end.body.value(QStringLiteral("end")).toObject().value(QStringLiteral("grade")).toInt(), 5);
        QCOMPARE(grade("Жанар"), std::string("5"));
        QCOMPARE(journal().size(), 1);
        QCOMPARE(linesOf("answers.log").size(), 12);
        // The topic the run opened stays open across another restart.
        server.reset();
        server = std::make_unique<Server>(QStringList{}, port);
        QCOMPARE(c.post(QStringLiteral("/api/run/start"), {{"test", "test2"}}).status, 200);
    }

    void restartAfterRunTimeout() {
        // A run idle past the run timeout while the server was down ends without a grade at the
        // start; the session itself lives on, and the answers stay in the answer log.
        const QStringList timeouts{QStringLiteral("--run-timeout"), QStringLiteral("1")};
        auto server = std::make_unique<Server>(timeouts);
        const int port = server->port();
        Client c(*server);
        c.post(QStringLiteral("/api/register"), {{"name", "Айгүл"}, {"password", "pw"}});
        c.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        c.post(QStringLiteral("/api/run/start"), {{"test", "test1"}});
        for (int q = 1; q <= 2; ++q)
            c.post(QStringLiteral("/api/run/answer"), {{"question", q}, {"place", rightOf(q)}});
        server.reset();
        QTest::qWait(1500);
        server = std::make_unique<Server>(timeouts, port);
        const Reply now = c.get(QStringLiteral("/api/run"));
        QCOMPARE(now.status, 200);
        QCOMPARE(now.body.value(QStringLiteral("active")).toBool(), false);
        QVERIFY(journal().isEmpty());
        QCOMPARE(linesOf("answers.log").size(), 2);
    }

    void settingsFile() {
        // A bad or missing settings file: its name, the line and what is wrong, and no server.
        QTemporaryDir scratch;
        const QString file = scratch.filePath(QStringLiteral("server.conf"));
        const struct {
            const char* text;
            const char* shown;
        } bad[] = {
            {"# сервер\ncourse /srv\n", "строка 2: нет знака «=»"},
            {"port = 1\n", "строка 1: неизвестный параметр «port»"},
            {"listen = localhost\n", "строка 1: адрес «localhost» не вида АДРЕС:ПОРТ"},
            {"run-timeout = 0\n", "строка 1: «run-timeout» должно быть целым числом секунд"},
            {"course = /nonexistent\n", "строка 1: «/nonexistent» — не папка курса"},
            {"listen = 127.0.0.1:0\ncourse =\n", "не указана папка курса"},
        };
        for (const auto& c : bad) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(c.text) > 0);
            f.close();
            QProcess p;
            p.start(kServer, {QStringLiteral("--config"), file});
            QVERIFY(p.waitForFinished(30000));
            const QString err = QString::fromUtf8(p.readAllStandardError());
            QCOMPARE(p.exitCode(), 1);
            QVERIFY2(err.contains(file) && err.contains(QString::fromUtf8(c.shown)), qPrintable(err));
        }
        QProcess missing;
        missing.start(kServer, {QStringLiteral("--config"), file + QStringLiteral(".missing")});
        QVERIFY(missing.waitForFinished(30000));
        QCOMPARE(missing.exitCode(), 1);
        QVERIFY(QString::fromUtf8(missing.readAllStandardError())
                    .contains(file + QStringLiteral(".missing\" не прочитан")));

        // The course folder from the file; the command line over the file (its listen address is
        // none of this computer's).
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("course = " + QDir::currentPath().toUtf8() + "\nlisten = 192.0.2.1:8443\ntls-cert =\n");
        f.close();
        Server server({QStringLiteral("--config"), file});
        QProcess print;
        print.start(kServer, {QStringLiteral("--config"), file, QStringLiteral("--fingerprint")});
        QVERIFY(print.waitForFinished(30000));
        QCOMPARE(print.readAllStandardOutput().trimmed().toStdString(), server.fingerprint());
    }

    void vanishedClientAndExpiredToken() {
        Server server({QStringLiteral("--run-timeout"), QStringLiteral("1"),
                       QStringLiteral("--session-timeout"), QStringLiteral("3")});
        Client c(server), admin(server);
        c.post(QStringLiteral("/api/register"), {{"name", "Нұрлан"}, {"password", "pw"}});
        c.signIn(QStringLiteral("Нұрлан"), QStringLiteral("pw"));
        admin.signIn(QStringLiteral("admin"), QString::fromLatin1(kAdminPassword));
        c.post(QStringLiteral("/api/run/start"), {{"test", "test1"}});
        for (int q = 1; q <= 2; ++q)
            c.post(QStringLiteral("/api/run/answer"), {{"question", q}, {"place", rightOf(q)}});
        // The live view: who is signed in, from where, on which question.
        const QJsonArray people =
            admin.get(QStringLiteral("/api/admin/monitor")).body.value(QStringLiteral("signedIn")).toArray();
        QCOMPARE(people.size(), 2);
        for (const QJsonValue p : people)
            if (p[QStringLiteral("name")] == QStringLiteral("Нұрлан")) {
                QCOMPARE(p[QStringLiteral("address")].toString(), QStringLiteral("127.0.0.1"));
                QCOMPARE(p[QStringLiteral("question")].toInt(), 3);
                QCOMPARE(p[QStringLiteral("count")].toInt(), 12);
            }
        QTest::qWait(2500);
        // The run ended without a grade; the answers stay in the answer log.
        QCOMPARE(c.get(QStringLiteral("/api/run")).body.value(QStringLiteral("active")).toBool(), false);
        const QJsonObject recent = admin.get(QStringLiteral("/api/admin/monitor"))
                                       .body.value(QStringLiteral("recent"))
                                       .toArray()
                                       .at(0)
                                       .toObject();
        QCOMPARE(recent.value(QStringLiteral("grade")).toInt(), 0);
        QCOMPARE(grade("Нұрлан"), std::string("1"));
        QVERIFY(journal().isEmpty());
        QCOMPARE(course_->read(QStringLiteral("answers.log")).count("\r\n"), 2);
        QTest::qWait(3500);
        QCOMPARE(c.get(QStringLiteral("/api/me")).status, 401);
    }

    void documentPaths() {
        for (const char* good : {"\\data\\info\\lig-1.html", "data/labs/1.htm", "\\Data\\css\\style.css"})
            QVERIFY2(course::isDocumentPath(good), good);
        for (const char* bad :
             {"\\users.ini", "\\data\\info\\tumb.db", "\\data\\tests\\x.htm", "\\data\\..\\x.htm",
              "\\data\\.hidden.htm", "\\data\\info\\a.ini", "\\data\\\\x.htm", "C:\\data\\x.htm", ""})
            QVERIFY2(!course::isDocumentPath(bad), bad);
        const QByteArray der = "certificate";
        const std::string hex = course::fingerprintOf(der);
        QVERIFY(course::verifyFingerprint(der, QString::fromStdString(hex).toUpper().toStdString()));
        QVERIFY(!course::verifyFingerprint(der, hex.substr(2)));
        QVERIFY(!course::verifyFingerprint({}, ""));
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "test_server.moc"
