#include "course/server_course.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

#include "course/server_link.h"
#include "store/codepage.h"
#include "store/error.h"
#include "testing/notation.h"

namespace ortavia::course {
namespace {

// A text of the server (UTF-8) in the code page; what the code page cannot hold comes as '?'.
std::string bytes(const QJsonValue& v) {
    const std::string utf8 = v.toString().toStdString();
    if (std::optional<std::string> text = cp::fromUtf8(utf8))
        return *text;
    return "?";
}

QString q(std::string_view codePage) {
    return QString::fromStdString(cp::toUtf8(codePage));
}

std::string utf8(const QJsonValue& v) {
    return v.toString().toStdString();
}

Grades gradesOf(const QJsonValue& v) {
    Grades g{};
    const QJsonArray a = v.toArray();
    for (qsizetype k = 0; k < a.size() && k < qsizetype(g.size()); ++k)
        g[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(a[k].toInt() & 0xFF);
    return g;
}

testing::ShownQuestion questionOf(const QJsonObject& o) {
    testing::ShownQuestion shown;
    shown.number = o.value(QStringLiteral("number")).toInt();
    shown.count = o.value(QStringLiteral("count")).toInt();
    shown.text = bytes(o.value(QStringLiteral("text")));
    const QJsonArray answers = o.value(QStringLiteral("answers")).toArray();
    for (qsizetype i = 0; i < answers.size() && i < qsizetype(shown.answers.size()); ++i)
        shown.answers[static_cast<std::size_t>(i)] = bytes(answers[i]);
    return shown;
}

std::optional<double> optionalNumber(const QJsonValue& v) {
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

QString base64(std::string_view bytes) {
    return QString::fromLatin1(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64());
}

long long whole(const QJsonValue& v) {
    return static_cast<long long>(v.toDouble());
}

} // namespace

ServerCourse::ServerCourse(QString host, quint16 port, std::string fingerprint)
    : host_(std::move(host)), port_(port), fingerprint_(std::move(fingerprint)) {}

ServerCourse::~ServerCourse() = default;

std::optional<std::pair<QString, quint16>> ServerCourse::parseAddress(const QString& typed) {
    QString host = typed.trimmed(), port;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        port = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!port.isEmpty() && !port.startsWith(QLatin1Char(':')))
            return std::nullopt;
        port = port.mid(1);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
    } else if (const qsizetype colon = host.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        port = host.mid(colon + 1);
        host = host.left(colon);
    }
    if (host.isEmpty())
        return std::nullopt;
    for (const QChar c : host)
        if (c.isSpace() || (c == QLatin1Char(':') && !typed.trimmed().startsWith(QLatin1Char('['))) ||
            c == QLatin1Char('/') || c == QLatin1Char('@') || c == QLatin1Char('?') || c == QLatin1Char('#'))
            return std::nullopt;
    if (port.isEmpty())
        return std::make_pair(host, kDefaultPort);
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!ok || number < 1 || number > 65535)
        return std::nullopt;
    return std::make_pair(host, static_cast<quint16>(number));
}

QString ServerCourse::address() const {
    const bool v6 = host_.contains(QLatin1Char(':'));
    return (v6 ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(host_).arg(port_);
}

ServerCourse::Reply ServerCourse::send(const QString& path, const QUrlQuery& query,
                                       const std::optional<QJsonObject>& body) {
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host_);
    url.setPort(port_);
    url.setPath(path);
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(timeout.count()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (!token_.isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + token_);
    QNetworkReply* reply = body ? network_.post(request, QJsonDocument(*body).toJson(QJsonDocument::Compact))
                                : network_.get(request);
    // The certificate the server showed, to tell a wrong one from a lost connection.
    auto peer = std::make_shared<QSslCertificate>();
    const auto keep = [reply, peer] { *peer = reply->sslConfiguration().peerCertificate(); };
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, keep);
    QObject::connect(reply, &QNetworkReply::encrypted, reply, keep);
    pinFingerprint(reply, fingerprint_);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    Reply r;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.wrongCertificate = !peer->isNull() && !verifyFingerprint(peer->toDer(), fingerprint_);
    if (r.wrongCertificate)
        r.status = 0;
    r.failure = reply->errorString();
    r.raw = reply->readAll();
    r.body = QJsonDocument::fromJson(r.raw).object();
    reply->deleteLater();
    return r;
}

void ServerCourse::noConnection(const Reply& reply) const {
    if (reply.wrongCertificate)
        throw Error(QStringLiteral("Сертификат сервера %1 не совпадает с отпечатком %2. Соединение "
                                   "прервано, на сервер ничего не отправлено. Сверьте отпечаток с тем, "
                                   "что печатает на сервере команда ortavia-server --fingerprint.")
                        .arg(address(), QString::fromStdString(fingerprint_))
                        .toStdString());
    throw Error(QStringLiteral("Нет связи с сервером %1: %2").arg(address(), reply.failure).toStdString());
}

QJsonObject ServerCourse::checked(const Reply& reply) const {
    if (reply.status == 0)
        noConnection(reply);
    if (reply.status >= 200 && reply.status < 300)
        return reply.body;
    const QString error = reply.body.value(QStringLiteral("error")).toString();
    if (error.isEmpty())
        throw Error(
            QStringLiteral("Сервер %1 ответил ошибкой %2.").arg(address()).arg(reply.status).toStdString());
    throw Error(error.toStdString());
}

QJsonObject ServerCourse::get(const QString& path, const QUrlQuery& query) {
    return checked(send(path, query, std::nullopt));
}

QJsonObject ServerCourse::post(const QString& path, const QJsonObject& body) {
    return checked(send(path, {}, body));
}

void ServerCourse::checkConnection() {
    checked(send(QStringLiteral("/api/deployment"), {}, std::nullopt));
}

void ServerCourse::takePerson(const QJsonObject& person) {
    grades_ = gradesOf(person.value(QStringLiteral("grades")));
    locked_.clear();
    for (const QJsonValue v : person.value(QStringLiteral("locked")).toArray())
        locked_.insert(v.toString().toStdString());
}

// --- Users and records: the administrator's; a student learns nothing of others.

std::vector<std::string> ServerCourse::userList() {
    std::vector<std::string> users;
    if (!administrator())
        return users;
    for (const QJsonValue v :
         get(QStringLiteral("/api/admin/users")).value(QStringLiteral("users")).toArray())
        users.push_back(bytes(v));
    return users;
}

bool ServerCourse::hasRecord(std::string_view name) {
    if (!administrator())
        return false;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("name"), QString(QUrl::toPercentEncoding(q(name))));
    const Reply r = send(QStringLiteral("/api/admin/record"), query, std::nullopt);
    if (r.status == 404)
        return false;
    checked(r);
    return true;
}

std::array<std::string, 12> ServerCourse::storedValues(std::string_view name) {
    std::array<std::string, 12> values;
    if (!administrator())
        return values;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("name"), QString(QUrl::toPercentEncoding(q(name))));
    const Reply r = send(QStringLiteral("/api/admin/record"), query, std::nullopt);
    if (r.status == 404) // as the store reads a missing key: empty
        return values;
    const QJsonArray stored = checked(r).value(QStringLiteral("values")).toArray();
    for (qsizetype k = 0; k < stored.size() && k < 12; ++k)
        values[static_cast<std::size_t>(k)] = bytes(stored[k]);
    return values;
}

SignInResult ServerCourse::signIn(std::string_view name, std::string_view password) {
    const Reply r =
        send(QStringLiteral("/api/signin"), {}, QJsonObject{{"name", q(name)}, {"password", q(password)}});
    SignInResult result;
    if (r.status == 401 || r.status == 429) {
        result.refusal = utf8(r.body.value(QStringLiteral("error")));
        return result;
    }
    const QJsonObject body = checked(r);
    token_ = body.value(QStringLiteral("token")).toString().toLatin1();
    role_ = body.value(QStringLiteral("role")).toString() == QLatin1String("administrator")
                ? Role::Administrator
                : Role::Student;
    takePerson(body);
    result.role = role_;
    result.grades = grades_;
    result.loaded = role_ == Role::Student ? 10 : 0;
    return result;
}

std::optional<std::string> ServerCourse::registerUser(std::string_view name, std::string_view password) {
    const Reply r =
        send(QStringLiteral("/api/register"), {}, QJsonObject{{"name", q(name)}, {"password", q(password)}});
    if (r.status == 400)
        return utf8(r.body.value(QStringLiteral("error")));
    checked(r);
    return std::nullopt;
}

bool ServerCourse::passwordMatches(std::string_view name, std::string_view password) {
    const Reply r = send(QStringLiteral("/api/delete/check"), {},
                         QJsonObject{{"name", q(name)}, {"password", q(password)}});
    if (r.status == 401)
        return false;
    checked(r);
    return true;
}

bool ServerCourse::deleteUser(std::string_view name, std::string_view password) {
    const Reply r =
        send(QStringLiteral("/api/delete"), {}, QJsonObject{{"name", q(name)}, {"password", q(password)}});
    if (r.status == 401)
        return false;
    checked(r);
    return true;
}

void ServerCourse::removeUser(std::string_view name) {
    post(QStringLiteral("/api/admin/delete"), {{"name", q(name)}});
}

Grades ServerCourse::pickUser(std::string_view name) {
    grades_ = gradesOf(
        post(QStringLiteral("/api/admin/pick"), {{"name", q(name)}}).value(QStringLiteral("grades")));
    return grades_;
}

void ServerCourse::signOut() {
    if (token_.isEmpty())
        return;
    // The server saves its own grade array of the session: nothing of the client's.
    post(QStringLiteral("/api/signout"));
    token_.clear();
    role_ = Role::None;
    locked_.clear();
}

// --- Settings: the password never comes back.

accounts::Settings ServerCourse::settings() {
    accounts::Settings s;
    if (!administrator())
        return s;
    const QJsonObject body = get(QStringLiteral("/api/admin/settings"));
    s.login = bytes(body.value(QStringLiteral("login")));
    s.journal = bytes(body.value(QStringLiteral("journal")));
    return s;
}

std::optional<std::string> ServerCourse::writeSettings(const accounts::Settings& typed,
                                                       const std::optional<std::string>& password) {
    QJsonObject body{{"login", q(typed.login)}, {"journal", q(typed.journal)}};
    if (password)
        body.insert(QStringLiteral("password"), q(*password));
    const Reply r = send(QStringLiteral("/api/admin/settings"), {}, body);
    if (r.status == 400)
        return utf8(r.body.value(QStringLiteral("error")));
    checked(r);
    return std::nullopt;
}

// --- Runs: the server keeps the run and grades it.

testing::ShownQuestion ServerCourse::startRun(std::string_view testName) {
    const QJsonObject body = post(QStringLiteral("/api/run/start"), {{"test", q(testName)}});
    optionsProblem_ = utf8(body.value(QStringLiteral("optionsProblem")));
    const testing::ShownQuestion first = questionOf(body);
    fetchFigures(first);
    return first;
}

Step ServerCourse::answer(int questionNumber, int place) {
    const QJsonObject sent{{"question", questionNumber}, {"place", place}};
    const auto since = std::chrono::steady_clock::now();
    bool lost = false;
    // Whatever the end, a notice of a lost connection is taken back.
    struct Told {
        ServerCourse& self;
        bool& lost;
        ~Told() {
            if (lost && self.onConnectionLost)
                self.onConnectionLost(false);
        }
    } told{*this, lost};
    Reply r = send(QStringLiteral("/api/run/answer"), {}, sent);
    // The same answer (question number and place) until the server answers: it takes a repeat of
    // an answer it has already taken as that answer, never as a second one.
    while (r.status == 0 && !r.wrongCertificate && std::chrono::steady_clock::now() - since < giveUpAfter) {
        if (!lost && onConnectionLost)
            onConnectionLost(true);
        lost = true;
        QEventLoop pause;
        QTimer::singleShot(retryPause, &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
        r = send(QStringLiteral("/api/run/answer"), {}, sent);
    }
    const QJsonObject body = checked(r);
    Step step;
    step.answerLogProblem = utf8(body.value(QStringLiteral("answerLogProblem")));
    step.recordProblem = utf8(body.value(QStringLiteral("recordProblem")));
    if (body.contains(QStringLiteral("next"))) {
        step.next = questionOf(body.value(QStringLiteral("next")).toObject());
        fetchFigures(*step.next);
        return step;
    }
    const QJsonObject end = body.value(QStringLiteral("end")).toObject();
    step.end = RunEnd{end.value(QStringLiteral("grade")).toInt(), end.value(QStringLiteral("right")).toInt(),
                      end.value(QStringLiteral("count")).toInt()};
    takePerson(body.value(QStringLiteral("person")).toObject());
    return step;
}

void ServerCourse::abandonRun() {
    if (token_.isEmpty())
        return;
    // Not reached: the server ends the run itself when no answer comes.
    const Reply r = send(QStringLiteral("/api/run/abandon"), {}, QJsonObject{});
    (void)r;
}

// --- The journal and the teacher's tables.

std::vector<std::string> ServerCourse::journalLines() {
    std::vector<std::string> lines;
    for (const QJsonValue v :
         get(QStringLiteral("/api/admin/journal")).value(QStringLiteral("lines")).toArray())
        lines.push_back(bytes(v));
    return lines;
}

reports::ClassTable ServerCourse::classTable() {
    reports::ClassTable table;
    for (const QJsonValue v :
         get(QStringLiteral("/api/admin/overview")).value(QStringLiteral("rows")).toArray()) {
        const QJsonObject o = v.toObject();
        reports::StudentRow row;
        row.name = bytes(o.value(QStringLiteral("name")));
        row.recorded = o.value(QStringLiteral("recorded")).toBool();
        const QJsonArray grades = o.value(QStringLiteral("grades")).toArray();
        const QJsonArray values = o.value(QStringLiteral("values")).toArray();
        for (std::size_t k = 0; k < row.grades.size(); ++k) {
            const auto i = static_cast<qsizetype>(k);
            row.grades[k] = i < grades.size() ? bytes(grades[i]) : std::string();
            if (i < values.size() && values[i].isDouble())
                row.values[k] = values[i].toInt();
        }
        row.passed = o.value(QStringLiteral("passed")).toInt();
        row.faulty = o.value(QStringLiteral("faulty")).toBool();
        table.rows.push_back(std::move(row));
    }
    return table;
}

reports::Statistics ServerCourse::statistics(const Progress& progress) {
    const QJsonObject body = get(QStringLiteral("/api/admin/statistics"));
    if (progress) // read whole on the server
        progress(1, 1);
    reports::Statistics s;
    s.students = body.value(QStringLiteral("students")).toInt();
    const QJsonArray tests = body.value(QStringLiteral("tests")).toArray();
    for (std::size_t k = 0; k < s.tests.size() && qsizetype(k) < tests.size(); ++k) {
        const QJsonObject o = tests[qsizetype(k)].toObject();
        reports::TestStatistics& t = s.tests[k];
        const QJsonArray byGrade = o.value(QStringLiteral("byGrade")).toArray();
        for (std::size_t g = 0; g < t.byGrade.size() && qsizetype(g) < byGrade.size(); ++g)
            t.byGrade[g] = byGrade[qsizetype(g)].toInt();
        t.other = o.value(QStringLiteral("other")).toInt();
        t.attempts = whole(o.value(QStringLiteral("attempts")));
        t.gradeSum = whole(o.value(QStringLiteral("gradeSum")));
        t.graded = whole(o.value(QStringLiteral("graded")));
    }
    for (const QJsonValue v : body.value(QStringLiteral("days")).toArray()) {
        const QJsonObject o = v.toObject();
        s.days.push_back({QDate::fromString(o.value(QStringLiteral("date")).toString(), Qt::ISODate),
                          o.value(QStringLiteral("text")).toString(),
                          whole(o.value(QStringLiteral("attempts")))});
    }
    s.journal.read = static_cast<std::size_t>(whole(body.value(QStringLiteral("journalRead"))));
    s.journal.skipped = static_cast<std::size_t>(whole(body.value(QStringLiteral("journalSkipped"))));
    s.journalFound = body.value(QStringLiteral("journalFound")).toBool();
    s.otherAttempts = whole(body.value(QStringLiteral("otherAttempts")));
    return s;
}

reports::ItemAnalysis ServerCourse::itemAnalysis() {
    const QJsonObject body = get(QStringLiteral("/api/admin/items"));
    reports::ItemAnalysis analysis;
    for (const QJsonValue v : body.value(QStringLiteral("tests")).toArray()) {
        const QJsonObject o = v.toObject();
        reports::TestItems t;
        t.test = bytes(o.value(QStringLiteral("test")));
        t.runs = whole(o.value(QStringLiteral("runs")));
        for (const QJsonValue iv : o.value(QStringLiteral("items")).toArray()) {
            const QJsonObject io = iv.toObject();
            reports::ItemFigures item;
            item.question = io.value(QStringLiteral("question")).toInt();
            item.answers = whole(io.value(QStringLiteral("answers")));
            item.right = whole(io.value(QStringLiteral("right")));
            const QJsonArray chosen = io.value(QStringLiteral("chosen")).toArray();
            for (std::size_t c = 0; c < item.chosen.size() && qsizetype(c) < chosen.size(); ++c)
                item.chosen[c] = whole(chosen[qsizetype(c)]);
            item.discrimination = optionalNumber(io.value(QStringLiteral("discrimination")));
            t.items.push_back(item);
        }
        analysis.tests.push_back(std::move(t));
    }
    analysis.lines = whole(body.value(QStringLiteral("lines")));
    analysis.skipped = whole(body.value(QStringLiteral("skipped")));
    return analysis;
}

testing::Options ServerCourse::options() {
    const QJsonObject body = get(QStringLiteral("/api/admin/options"));
    testing::Options o;
    o.shuffleAnswers = body.value(QStringLiteral("shuffleAnswers")).toBool();
    o.draw = body.value(QStringLiteral("draw")).toInt();
    return o;
}

void ServerCourse::writeOptions(const testing::Options& options) {
    post(QStringLiteral("/api/admin/options"),
         {{"shuffleAnswers", options.shuffleAnswers}, {"draw", options.draw}});
}

Installed ServerCourse::installTest(int n, std::string_view sourceBytes) {
    const QJsonObject body =
        post(QStringLiteral("/api/admin/install"), {{"number", n}, {"source", base64(sourceBytes)}});
    Installed out;
    out.questions = body.value(QStringLiteral("questions")).toInt();
    out.path = utf8(body.value(QStringLiteral("path")));
    out.backup = utf8(body.value(QStringLiteral("backup")));
    return out;
}

std::vector<testing::authoring::Item> ServerCourse::testItems(int n) {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("number"), QString::number(n));
    std::vector<testing::authoring::Item> items;
    for (const QJsonValue v :
         get(QStringLiteral("/api/admin/test/items"), query).value(QStringLiteral("items")).toArray()) {
        const QJsonObject o = v.toObject();
        testing::authoring::Item item;
        item.text = bytes(o.value(QStringLiteral("text")));
        for (const QJsonValue a : o.value(QStringLiteral("answers")).toArray())
            item.answers.push_back(bytes(a));
        item.right = o.value(QStringLiteral("right")).toInt();
        item.line = o.value(QStringLiteral("line")).toInt();
        fetchFigures(item.text);
        for (const std::string& a : item.answers)
            fetchFigures(a);
        items.push_back(std::move(item));
    }
    return items;
}

TestFile ServerCourse::testFile(int n) {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("number"), QString::number(n));
    const QJsonObject body = get(QStringLiteral("/api/admin/test/file"), query);
    return {utf8(body.value(QStringLiteral("shown"))), body.value(QStringLiteral("installed")).toBool()};
}

Installed ServerCourse::installTestFile(int n, std::string_view content) {
    const QJsonObject body =
        post(QStringLiteral("/api/admin/test/install"), {{"number", n}, {"content", base64(content)}});
    Installed out;
    out.path = utf8(body.value(QStringLiteral("path")));
    out.backup = utf8(body.value(QStringLiteral("backup")));
    return out;
}

std::vector<std::string> ServerCourse::installFigures(const std::vector<testing::authoring::Figure>& figures,
                                                      std::string_view sourceFolder) {
    QJsonArray sent;
    for (const testing::authoring::Figure& f : figures)
        sent.append(
            QJsonObject{{"name", QString::fromStdString(f.name)},
                        {"bytes", f.bytes ? QJsonValue(base64(*f.bytes)) : QJsonValue(QJsonValue::Null)}});
    std::vector<std::string> written;
    for (const QJsonValue v :
         post(QStringLiteral("/api/admin/test/figures"),
              {{"figures", sent}, {"sourceFolder", QString::fromStdString(std::string(sourceFolder))}})
             .value(QStringLiteral("written"))
             .toArray())
        written.push_back(utf8(v));
    return written;
}

// --- Documents: the viewer asks the client for them by the addresses of its own scheme.

QUrl ServerCourse::documentUrl(std::string_view relativePath) {
    QString path = q(relativePath);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setHost(QStringLiteral("course"));
    url.setPath(path);
    return url;
}

std::optional<std::string> ServerCourse::documentPathOf(const QUrl& url) {
    if (url.scheme() != QLatin1String(kScheme) || url.host() != QLatin1String("course"))
        return std::nullopt;
    std::optional<std::string> path = cp::fromUtf8(url.path(QUrl::FullyDecoded).toStdString());
    if (path)
        for (char& c : *path)
            if (c == '/')
                c = '\\';
    return path;
}

std::optional<std::string> ServerCourse::document(std::string_view relativePath) {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("path"), QString(QUrl::toPercentEncoding(q(relativePath))));
    const Reply r = send(QStringLiteral("/api/document"), query, std::nullopt);
    if (r.status == 404)
        return std::nullopt;
    checked(r);
    return r.raw.toStdString();
}

deployment::Reading ServerCourse::deploymentTexts() {
    const QJsonObject body = get(QStringLiteral("/api/deployment"));
    deployment::Reading r;
    deployment::Texts& t = r.texts;
    const std::pair<const char*, std::string*> keys[] = {{"institution", &t.institution},
                                                         {"department", &t.department},
                                                         {"specialty", &t.specialty},
                                                         {"publication", &t.publication},
                                                         {"compiler", &t.compiler},
                                                         {"compilerPosition", &t.compilerPosition},
                                                         {"developer", &t.developer},
                                                         {"developerDepartment", &t.developerDepartment},
                                                         {"developerPosition", &t.developerPosition},
                                                         {"city", &t.city},
                                                         {"year", &t.year}};
    for (const auto& [key, text] : keys)
        if (const QJsonValue v = body.value(QLatin1String(key)); v.isString())
            *text = utf8(v);
    for (const QJsonValue v : body.value(QStringLiteral("problems")).toArray())
        r.problems.push_back(utf8(v));
    return r;
}

// --- Figures: copied into a folder of this program run as the questions name them, so that they
// are drawn as those of a course folder are.

QString ServerCourse::figureFolder() {
    if (!figures_)
        figures_ = std::make_unique<QTemporaryDir>();
    return figures_->isValid() ? figures_->path() : QString();
}

void ServerCourse::fetchFigures(const testing::ShownQuestion& shown) {
    fetchFigures(shown.text);
    for (const std::string& a : shown.answers)
        fetchFigures(a);
}

void ServerCourse::fetchFigures(std::string_view text) {
    for (const QString& name : testing::notation::figureNames(q(text))) {
        if (!testing::notation::plainFigureName(name) || figuresFetched_.count(name.toLower()))
            continue;
        const QString folder = figureFolder();
        if (folder.isEmpty())
            return;
        const Reply r =
            send(QStringLiteral("/web/figure/") + QString::fromLatin1(QUrl::toPercentEncoding(name)), {},
                 std::nullopt);
        if (r.status == 0)
            continue; // tried again with the next question that names it
        figuresFetched_.insert(name.toLower());
        QFile file(QDir(folder).filePath(name));
        // A figure the server lacks stays missing here too, shown by its name as in the course folder.
        if (r.status == 200 && file.open(QIODevice::WriteOnly))
            file.write(r.raw);
    }
}

std::optional<Monitor> ServerCourse::monitor() {
    const QJsonObject body = get(QStringLiteral("/api/admin/monitor"));
    Monitor m;
    for (const QJsonValue v : body.value(QStringLiteral("signedIn")).toArray()) {
        const QJsonObject o = v.toObject();
        m.signedIn.push_back(
            {bytes(o.value(QStringLiteral("name"))), o.value(QStringLiteral("address")).toString(),
             o.value(QStringLiteral("role")).toString() == QLatin1String("administrator"),
             bytes(o.value(QStringLiteral("test"))), o.value(QStringLiteral("question")).toInt(),
             o.value(QStringLiteral("count")).toInt()});
    }
    for (const QJsonValue v : body.value(QStringLiteral("recent")).toArray()) {
        const QJsonObject o = v.toObject();
        m.recent.push_back({bytes(o.value(QStringLiteral("name"))), bytes(o.value(QStringLiteral("test"))),
                            o.value(QStringLiteral("grade")).toInt(),
                            o.value(QStringLiteral("time")).toString()});
    }
    return m;
}

} // namespace ortavia::course
