#include "server/server.h"

#include <QDateTime>
#include <QDir>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <QUrlQuery>
#include <iostream>

#include "server/web.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/store.h"
#include "testing/notation.h"
#include "testing/testing.h"

namespace ortavia::server {
namespace {

using Status = QHttpServerResponse::StatusCode;
using Method = QHttpServerRequest::Method;

QString u(std::string_view codePage) {
    return QString::fromStdString(cp::toUtf8(codePage));
}

// A text of the request in the code page, or nullopt when it cannot be held there.
std::optional<std::string> text(const QJsonObject& body, const char* key) {
    return cp::fromUtf8(body.value(QLatin1String(key)).toString().toStdString());
}

QJsonObject bodyOf(const QHttpServerRequest& request) {
    return QJsonDocument::fromJson(request.body()).object();
}

QJsonArray gradesJson(const course::Grades& grades) {
    QJsonArray a;
    for (const std::uint8_t g : grades)
        a.append(int(g));
    return a;
}

QJsonObject questionJson(const testing::ShownQuestion& q) {
    QJsonArray answers;
    for (const std::string& a : q.answers)
        answers.append(u(a));
    // The texts also as Unicode plain text (the notation read), for a page that shows them as such.
    QJsonArray plainAnswers;
    for (const QJsonValue a : answers)
        plainAnswers.append(testing::notation::toPlainText(a.toString()));
    return {{"number", q.number},
            {"count", q.count},
            {"text", u(q.text)},
            {"answers", answers},
            {"plain",
             QJsonObject{{"text", testing::notation::toPlainText(u(q.text))}, {"answers", plainAnswers}}}};
}

QJsonValue optionalNumber(const std::optional<double>& v) {
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonObject classTableJson(const reports::ClassTable& table) {
    QJsonArray rows;
    for (const reports::StudentRow& r : table.rows) {
        QJsonArray grades, values;
        for (std::size_t k = 0; k < r.grades.size(); ++k) {
            grades.append(u(r.grades[k]));
            values.append(r.values[k] ? QJsonValue(*r.values[k]) : QJsonValue(QJsonValue::Null));
        }
        rows.append(QJsonObject{{"name", u(r.name)},
                                {"recorded", r.recorded},
                                {"grades", grades},
                                {"values", values},
                                {"passed", r.passed},
                                {"faulty", r.faulty}});
    }
    QJsonArray header;
    for (const std::string& h : reports::classTableHeader())
        header.append(QString::fromStdString(h));
    return {{"header", header}, {"rows", rows}};
}

QJsonObject statisticsJson(const reports::Statistics& s) {
    QJsonArray tests, days;
    for (const reports::TestStatistics& t : s.tests) {
        QJsonArray byGrade;
        for (const int n : t.byGrade)
            byGrade.append(n);
        tests.append(QJsonObject{{"byGrade", byGrade},
                                 {"other", t.other},
                                 {"took", t.took()},
                                 {"passed", t.passed()},
                                 {"passRate", optionalNumber(t.passRate())},
                                 {"attempts", double(t.attempts)},
                                 {"gradeSum", double(t.gradeSum)},
                                 {"graded", double(t.graded)},
                                 {"meanGrade", optionalNumber(t.meanGrade())}});
    }
    for (const reports::DayAttempts& d : s.days)
        days.append(QJsonObject{{"date", d.date.isValid() ? d.date.toString(Qt::ISODate) : QString()},
                                {"text", d.text},
                                {"attempts", double(d.attempts)}});
    return {{"students", s.students},
            {"tests", tests},
            {"days", days},
            {"journalRead", double(s.journal.read)},
            {"journalSkipped", double(s.journal.skipped)},
            {"journalFound", s.journalFound},
            {"otherAttempts", double(s.otherAttempts)}};
}

QJsonObject itemsJson(const reports::ItemAnalysis& analysis) {
    QJsonArray tests;
    for (const reports::TestItems& t : analysis.tests) {
        QJsonArray items;
        for (const reports::ItemFigures& i : t.items) {
            QJsonArray chosen;
            for (const long long c : i.chosen)
                chosen.append(double(c));
            items.append(QJsonObject{{"question", i.question},
                                     {"answers", double(i.answers)},
                                     {"right", double(i.right)},
                                     {"chosen", chosen},
                                     {"discrimination", optionalNumber(i.discrimination)},
                                     {"flagged", i.flagged()}});
        }
        tests.append(QJsonObject{{"test", u(t.test)}, {"runs", double(t.runs)}, {"items", items}});
    }
    return {{"tests", tests}, {"lines", double(analysis.lines)}, {"skipped", double(analysis.skipped)}};
}

// Why a journal name cannot serve on the server, whose administrator reads the journal back over
// the network: it must be a file of the course folder, and not one of its users, records, settings,
// tests or the answer log, nor a file of the server itself.
std::optional<QString> journalRefusal(std::string_view journal) {
    const QString refused =
        QStringLiteral("Журнал тестов на сервере — это файл в папке курса, например "
                       "journal.txt, и не файл пользователей, настроек, тестов или журнал "
                       "ответов.");
    if (journal.empty() || journal.front() == '/' || journal.front() == '\\' ||
        journal.find(':') != std::string_view::npos)
        return refused;
    // The parts of the name, folded, joined again by '\\' as the course's own names are written.
    std::string joined, part;
    std::vector<std::string> parts;
    for (const char c : std::string(journal) + '/') {
        if (c != '/' && c != '\\') {
            part += c;
            continue;
        }
        if (part.empty() || part.front() == '.')
            return refused;
        parts.push_back(cp::foldCase(part));
        joined += (joined.empty() ? "" : "\\") + parts.back();
        part.clear();
    }
    if (parts.size() > 1 && parts[0] == "data" && parts[1] == "tests")
        return refused;
    for (const std::string_view file : {accounts::kUserList, accounts::kRecords.substr(1),
                                        accounts::kSettingsFile, testing::kOptionsFile, testing::kAnswerLog})
        if (joined == cp::foldCase(file))
            return refused;
    return std::nullopt;
}

// The commands that a pass of test k opens (the unlock table's row), in lower case.
std::vector<std::string> governed(int k) {
    std::vector<std::string> commands;
    if (const testing::UnlockRow* row = testing::unlockRowFor("test" + std::to_string(k)))
        for (std::size_t i = 1; i < row->row.size(); ++i)
            commands.push_back(cp::foldCase(row->row[i]));
    return commands;
}

// A steady-clock time as ms since the epoch, and back: the saved times of a session.
qint64 wallOf(Clock::time_point t) {
    return QDateTime::currentMSecsSinceEpoch() -
           std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

Clock::time_point steadyOf(qint64 wall) {
    return Clock::now() - std::chrono::milliseconds(QDateTime::currentMSecsSinceEpoch() - wall);
}

QString clockText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
}

const QString kNotEncodable = QStringLiteral("Текст содержит символы, которых нет в кодовой странице курса "
                                             "(русский, казахский и латинский алфавиты). Исправьте его.");

} // namespace

QHttpServerResponse jsonResponse(const QJsonObject& body, Status status) {
    QHttpServerResponse response(QByteArrayLiteral("application/json"),
                                 QJsonDocument(body).toJson(QJsonDocument::Compact), status);
    response.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    return response;
}

QHttpServerResponse errorResponse(Status status, const QString& message) {
    return jsonResponse({{"error", message}}, status);
}

LabServer::LabServer(Timeouts timeouts, QObject* parent) : QObject(parent), timeouts_(timeouts) {
    WebRoutes::add(*this);
    addRoutes();
    http_.setMissingHandler([](const QHttpServerRequest&, QHttpServerResponder&& responder) {
        errorResponse(Status::NotFound, QStringLiteral("Нет такого запроса.")).write(std::move(responder));
    });
    restore();
    connect(&sweeper_, &QTimer::timeout, this, [this] { sweep(); });
    sweeper_.start(1000);
}

QJsonObject LabServer::recordOf(Session& s) {
    QJsonArray locked;
    for (const std::string& command : s.locked)
        locked.append(QString::fromStdString(command));
    QJsonObject record{
        {"token", QString::fromStdString(s.key)},
        {"name", testing::keptText(s.course->signedInName())},
        {"role", s.course->role() == course::Role::Administrator ? "administrator" : "student"},
        {"address", s.address},
        {"signedIn", s.signedInAt},
        {"lastSeen", wallOf(s.lastSeen)},
        {"runLastSeen", wallOf(s.runLastSeen)},
        {"grades", gradesJson(s.course->grades())},
        {"journal", testing::keptText(s.course->journalName())},
        {"locked", locked}};
    if (const testing::Run* run = s.course->run())
        record.insert(QStringLiteral("run"), run->saved());
    return record;
}

void LabServer::save(Session& s, bool whole) {
    try {
        if (whole) {
            files_.write(recordOf(s));
        } else {
            QJsonObject change{{"lastSeen", wallOf(s.lastSeen)}, {"runLastSeen", wallOf(s.runLastSeen)}};
            if (const testing::Run* run = s.course->run())
                change.insert(QStringLiteral("run"), run->progress());
            files_.progress(s.key, change);
        }
        s.savedSeen = s.lastSeen;
        if (files_.large())
            rewriteSessions();
    } catch (const std::exception& e) {
        std::cerr << "ortavia-server: " << e.what() << std::endl;
    }
}

void LabServer::rewriteSessions() {
    std::vector<QJsonObject> records;
    for (auto& [key, s] : sessions_)
        records.push_back(recordOf(s));
    files_.rewrite(records);
}

void LabServer::forget(const Session& s) {
    try {
        files_.remove(s.key);
    } catch (const std::exception& e) {
        std::cerr << "ortavia-server: " << e.what() << std::endl;
    }
}

void LabServer::restore() {
    std::vector<QString> problems;
    const auto now = Clock::now();
    for (auto& [key, record] : files_.readAll(&problems)) {
        Session s;
        s.key = key;
        try {
            course::Grades grades{};
            const QJsonArray saved = record.value(QStringLiteral("grades")).toArray();
            if (record.value(QStringLiteral("token")).toString().toStdString() != key || saved.size() != 12)
                throw Error("bad session record");
            for (qsizetype k = 0; k < 12; ++k)
                grades[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(saved[k].toInt() & 0xFF);
            const QString role = record.value(QStringLiteral("role")).toString();
            std::unique_ptr<testing::Run> run;
            if (record.contains(QStringLiteral("run")))
                run = testing::Run::restored(record.value(QStringLiteral("run")).toObject());
            s.address = record.value(QStringLiteral("address")).toString();
            s.signedInAt = record.value(QStringLiteral("signedIn")).toInteger();
            s.lastSeen = s.savedSeen = steadyOf(record.value(QStringLiteral("lastSeen")).toInteger());
            s.runLastSeen = steadyOf(record.value(QStringLiteral("runLastSeen")).toInteger());
            for (const QJsonValue command : record.value(QStringLiteral("locked")).toArray())
                s.locked.insert(command.toString().toStdString());
            s.course = std::make_unique<course::FilesCourse>();
            s.course->leaveRecordToCaller();
            s.course->resume(
                testing::keptBytes(record.value(QStringLiteral("name"))),
                role == QLatin1String("administrator") ? course::Role::Administrator : course::Role::Student,
                grades, testing::keptBytes(record.value(QStringLiteral("journal"))), std::move(run));
        } catch (const std::exception&) {
            problems.push_back(QStringLiteral("сеанс %1… из \"%2\" не восстановлен: его запись не прочитана.")
                                   .arg(QString::fromStdString(key.substr(0, 8)),
                                        QDir(QStringLiteral(".server/sessions.log")).absolutePath()));
            continue;
        }
        // Expired meanwhile: dropped as the sweep drops them (a run idle too long ends without a
        // grade, its answers kept in the answer log).
        if (now - s.lastSeen > timeouts_.sessionIdle)
            continue;
        Session& kept = sessions_.emplace(key, std::move(s)).first->second;
        const testing::Run* run = kept.course->run();
        if (run && !run->finished() && now - kept.runLastSeen > timeouts_.runIdle) {
            ended(kept, 0);
            kept.course->abandonRun();
        }
    }
    for (const QString& p : problems)
        std::cerr << "ortavia-server: " << p.toStdString() << std::endl;
    // The log from here on: the sessions that live on, each by its record alone.
    rewriteSessions();
}

LabServer::Session* LabServer::sessionOf(const QHttpServerRequest& request, bool administrator,
                                         QHttpServerResponse* refusal) {
    const QByteArray header = request.value(QByteArrayLiteral("Authorization"));
    const QByteArray prefix = QByteArrayLiteral("Bearer ");
    QByteArray token = header.startsWith(prefix) ? header.mid(prefix.size()) : QByteArray();
    // --- The web page: its session cookie instead of a token (web.cpp).
    const bool byCookie = token.isEmpty();
    if (byCookie)
        token = QByteArray::fromStdString(WebRoutes::cookieToken(request));
    // ---
    auto it = sessions_.find(keyOf(token));
    const auto now = Clock::now();
    // An expired session is refused here and removed by the sweep, which ends its run.
    if (token.isEmpty() || it == sessions_.end() || now - it->second.lastSeen > timeouts_.sessionIdle) {
        *refusal = errorResponse(Status::Unauthorized, QStringLiteral("Сеанс закончился. Войдите снова."));
        return nullptr;
    }
    Session& s = it->second;
    // --- A page's session: only its own page may use it, a change with the session's CSRF token.
    if (byCookie && !WebRoutes::cookieAllowed(request, token.toStdString())) {
        *refusal = errorResponse(Status::Forbidden, WebRoutes::kCrossSite);
        return nullptr;
    }
    // ---
    if (administrator && s.course->role() != course::Role::Administrator) {
        *refusal = errorResponse(Status::Forbidden, QStringLiteral("Это может только администратор."));
        return nullptr;
    }
    s.lastSeen = now;
    return &s;
}

std::optional<QString> LabServer::waitFor(const std::string& name) {
    auto it = failures_.find(cp::foldCase(name));
    if (it == failures_.end())
        return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::seconds>(it->second.waitUntil - Clock::now());
    if (left.count() <= 0)
        return std::nullopt;
    return QStringLiteral("Слишком много неудачных попыток входа под именем «%1». Повторите через %2 с.")
        .arg(u(name))
        .arg(left.count());
}

void LabServer::failed(const std::string& name) {
    Failures& f = failures_[cp::foldCase(name)];
    const auto now = Clock::now();
    f.times.push_back(now);
    while (!f.times.empty() && now - f.times.front() > timeouts_.failureWindow)
        f.times.pop_front();
    if (f.times.size() >= 5) {
        f.waitUntil = now + timeouts_.wait;
        f.times.clear();
    }
}

void LabServer::unlockPassed(Session& s) {
    // A finished run opens the next topic of every test passed; it never closes one.
    const course::Grades g = s.course->grades();
    for (int k = 1; k <= 12; ++k)
        if (g[static_cast<std::size_t>(k - 1)] >= 3)
            for (const std::string& command : governed(k))
                s.locked.erase(command);
}

QJsonObject LabServer::personState(const Session& s) const {
    QJsonArray locked;
    for (const std::string& name : s.locked)
        locked.append(QString::fromStdString(name));
    return {{"name", u(s.course->signedInName())},
            {"role", s.course->role() == course::Role::Administrator ? "administrator" : "student"},
            {"grades", gradesJson(s.course->grades())},
            {"locked", locked}};
}

QHttpServerResponse LabServer::signIn(const QHttpServerRequest& request, bool studentOnly) {
    const QJsonObject body = bodyOf(request);
    const std::optional<std::string> name = text(body, "name");
    const std::optional<std::string> password = text(body, "password");
    if (!name || !password)
        return errorResponse(Status::Unauthorized, QStringLiteral("Проверьте правильность имени и пароля!"));
    if (const std::optional<QString> wait = waitFor(*name))
        return errorResponse(Status::TooManyRequests, *wait);
    // Each sign-in is a start of the program: the settings as the file holds them now.
    auto files = std::make_unique<course::FilesCourse>();
    files->settings();
    files->leaveRecordToCaller();
    const course::SignInResult result = files->signIn(*name, *password);
    if (!result.problem.empty()) // a stored grade that is no number: the record's fault, not a refusal
        throw Error(result.problem);
    if (result.role == course::Role::None) {
        failed(*name);
        return errorResponse(Status::Unauthorized, QString::fromStdString(result.refusal));
    }
    if (studentOnly && result.role != course::Role::Student)
        return errorResponse(Status::Forbidden,
                             QStringLiteral("Администратор работает в программе «Ортавия» на компьютере "
                                            "класса: на веб-странице вход администратора закрыт."));
    const std::string token = randomToken().toStdString();
    Session s;
    s.key = keyOf(QByteArray::fromStdString(token));
    s.course = std::move(files);
    s.address = request.remoteAddress().toString();
    s.signedInAt = QDateTime::currentMSecsSinceEpoch();
    s.lastSeen = s.runLastSeen = Clock::now();
    // The stored grades lock the topics not yet passed (a student only).
    if (result.role == course::Role::Student)
        for (int n = 1; n <= 10; ++n)
            if (result.grades[static_cast<std::size_t>(n - 1)] < 3)
                for (const std::string& command : governed(n))
                    s.locked.insert(command);
    QJsonObject out = personState(s);
    out.insert(QStringLiteral("token"), QString::fromStdString(token));
    out.insert(QStringLiteral("expiresIdle"), double(timeouts_.sessionIdle.count()));
    save(sessions_.emplace(s.key, std::move(s)).first->second);
    return jsonResponse(out);
}

QHttpServerResponse LabServer::passwordCheck(const QHttpServerRequest& request, bool andDelete) {
    const QJsonObject body = bodyOf(request);
    const std::optional<std::string> name = text(body, "name");
    const std::optional<std::string> password = text(body, "password");
    const QString refused = QStringLiteral("Проверьте правильность имени и пароля!");
    if (!name || !password)
        return errorResponse(Status::Unauthorized, refused);
    if (const std::optional<QString> wait = waitFor(*name))
        return errorResponse(Status::TooManyRequests, *wait);
    course::FilesCourse files;
    const bool ok = andDelete ? files.deleteUser(*name, *password) : files.passwordMatches(*name, *password);
    if (!ok) {
        failed(*name);
        return errorResponse(Status::Unauthorized, refused);
    }
    return jsonResponse({});
}

void LabServer::closeSession(Session& s) {
    // The save at close: the session's grade array, never anything the client sent.
    const std::string key = s.key;
    if (s.course->run() && !s.course->run()->finished())
        ended(s, 0);
    s.course->signOut();
    forget(s);
    sessions_.erase(key);
}

QHttpServerResponse LabServer::registration(const QHttpServerRequest& request) {
    const QJsonObject body = bodyOf(request);
    const std::optional<std::string> name = text(body, "name");
    if (!name)
        return errorResponse(Status::BadRequest,
                             QStringLiteral("Имя пользователя содержит символы, которых нет в "
                                            "кодовой странице курса. Используйте русские, "
                                            "казахские или латинские буквы."));
    const std::optional<std::string> password = text(body, "password");
    if (!password)
        return errorResponse(Status::BadRequest, kNotEncodable);
    course::FilesCourse files;
    files.settings();
    if (const auto refusal = files.registerUser(*name, *password))
        return errorResponse(Status::BadRequest, QString::fromStdString(*refusal));
    return jsonResponse({{"message", QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\"")}});
}

void LabServer::ended(const Session& s, int grade) {
    const testing::Run* run = s.course->run();
    recent_.push_front({s.course->signedInName(), run ? run->testName() : std::string(), grade, clockText()});
    if (recent_.size() > 100)
        recent_.pop_back();
}

void LabServer::sweep() {
    const auto now = Clock::now();
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        Session& s = it->second;
        const testing::Run* run = s.course->run();
        // A run nobody answers any more (the client is gone) ends without a grade; the answer log
        // keeps what was answered.
        if (run && !run->finished() && now - s.runLastSeen > timeouts_.runIdle) {
            ended(s, 0);
            s.course->abandonRun();
            save(s);
        }
        if (now - s.lastSeen > timeouts_.sessionIdle) {
            if (s.course->run() && !s.course->run()->finished())
                ended(s, 0);
            forget(s);
            it = sessions_.erase(it);
        } else {
            // The time of the last request, kept within a minute for a session that only reads.
            if (s.lastSeen - s.savedSeen > std::chrono::minutes(1))
                save(s, false);
            ++it;
        }
    }
    for (auto it = failures_.begin(); it != failures_.end();)
        it = it->second.times.empty() && it->second.waitUntil < now ? failures_.erase(it) : std::next(it);
}

QHttpServerResponse LabServer::answerStep(Session& s, const QHttpServerRequest& r, bool* endOfRun) {
    const QJsonObject body = bodyOf(r);
    const testing::Run* run = s.course->run();
    const int question = body.value(QStringLiteral("question")).toInt(0);
    const int place = body.value(QStringLiteral("place")).toInt(0);
    if (!run)
        return errorResponse(Status::Conflict, QStringLiteral("Тест не начат."));
    if (run->finished()) {
        // The last answer sent again (its answer was lost): the end once more.
        if (question < 1 || question > run->count())
            return errorResponse(Status::Conflict, QStringLiteral("Тест не начат."));
        *endOfRun = true;
        return jsonResponse(
            {{"end", QJsonObject{{"grade", run->grade()}, {"right", run->right()}, {"count", run->count()}}},
             {"person", personState(s)}});
    }
    if (question > run->current() || question < 1)
        return errorResponse(Status::Conflict,
                             QStringLiteral("Ответ не принят: вопрос %1 сейчас не задан.").arg(question));
    if (place < 1 || place > 5)
        return errorResponse(Status::BadRequest, QStringLiteral("Нет такого ответа."));
    s.runLastSeen = Clock::now();
    const course::Step step = s.course->answer(question, place);
    if (!step.next)
        unlockPassed(s);
    save(s, !step.next); // the end of the run changes the grades and the topics open too
    QJsonObject out;
    if (!step.answerLogProblem.empty())
        out.insert(QStringLiteral("answerLogProblem"),
                   QString::fromStdString(step.answerLogProblem) +
                       QStringLiteral(" Ответы этого теста не попадут в журнал ответов; тест "
                                      "продолжается."));
    if (step.next) {
        out.insert(QStringLiteral("next"), questionJson(*step.next));
        return jsonResponse(out);
    }
    ended(s, step.end->grade);
    out.insert(
        QStringLiteral("end"),
        QJsonObject{{"grade", step.end->grade}, {"right", step.end->right}, {"count", step.end->count}});
    out.insert(QStringLiteral("person"), personState(s));
    *endOfRun = true;
    return jsonResponse(out);
}

void LabServer::writeRecords() {
    std::vector<std::unique_ptr<PendingRecord>> batch;
    batch.swap(pending_);
    std::optional<QString> failure;
    try {
        store::Batch records(accounts::kRecords);
        for (const auto& p : batch)
            for (int k = 1; k <= 12; ++k)
                records.write(p->name, "test" + std::to_string(k),
                              std::to_string(p->grades[static_cast<std::size_t>(k - 1)]));
        records.commit();
    } catch (const std::exception& e) {
        failure = QString::fromStdString(e.what());
    }
    for (const auto& p : batch) {
        if (!p->socket) // the client has gone meanwhile
            continue;
        if (failure) {
            // The run is over and journalled: its end is told with the record's problem, and the
            // grade stays in the session's grade array, which the sign-out saves (a session that
            // expires is not signed out: then the journal line alone keeps the grade).
            QJsonObject body = QJsonDocument::fromJson(p->response.data()).object();
            body.insert(QStringLiteral("recordProblem"), *failure);
            jsonResponse(body).write(std::move(p->responder));
        } else
            p->response.write(std::move(p->responder));
    }
}

void LabServer::addRoutes() {
    // Every handler: an Error of the core is the answer's message, never a crash of the server.
    const auto guarded = [](auto&& handler) {
        return [handler](const QHttpServerRequest& request) -> QHttpServerResponse {
            try {
                // --- A form or script of another site is refused before anything is done (web.cpp).
                if (WebRoutes::fromOtherSite(request))
                    return errorResponse(Status::Forbidden, WebRoutes::kCrossSite);
                // ---
                return handler(request);
            } catch (const Error& e) {
                return errorResponse(Status::InternalServerError, QString::fromStdString(e.what()));
            } catch (const std::exception& e) {
                return errorResponse(Status::InternalServerError, QString::fromStdString(e.what()));
            }
        };
    };
    // A route for a signed-in person (administrator: only for the administrator's token).
    const auto withSession = [this, guarded](bool administrator, auto handler) {
        return guarded([this, administrator, handler](const QHttpServerRequest& request) {
            QHttpServerResponse refusal(Status::Unauthorized);
            Session* s = sessionOf(request, administrator, &refusal);
            if (!s)
                return refusal;
            return handler(*s, request);
        });
    };

    // --- Open to everyone: registration, sign-in, the deletion of one's own record, documents.
    http_.route("/api/register", Method::Post,
                guarded([](const QHttpServerRequest& request) { return registration(request); }));
    http_.route("/api/signin", Method::Post,
                guarded([this](const QHttpServerRequest& request) { return signIn(request); }));
    http_.route("/api/delete/check", Method::Post,
                guarded([this](const QHttpServerRequest& request) { return passwordCheck(request, false); }));
    http_.route("/api/delete", Method::Post,
                guarded([this](const QHttpServerRequest& request) { return passwordCheck(request, true); }));
    http_.route("/api/deployment", Method::Get, guarded([](const QHttpServerRequest&) {
                    course::FilesCourse files;
                    const deployment::Reading r = files.deploymentTexts();
                    const deployment::Texts& t = r.texts;
                    QJsonArray problems;
                    for (const std::string& p : r.problems)
                        problems.append(QString::fromStdString(p));
                    const auto s = [](const std::string& utf8) { return QString::fromStdString(utf8); };
                    return jsonResponse({{"institution", s(t.institution)},
                                         {"department", s(t.department)},
                                         {"specialty", s(t.specialty)},
                                         {"publication", s(t.publication)},
                                         {"compiler", s(t.compiler)},
                                         {"compilerPosition", s(t.compilerPosition)},
                                         {"developer", s(t.developer)},
                                         {"developerDepartment", s(t.developerDepartment)},
                                         {"developerPosition", s(t.developerPosition)},
                                         {"city", s(t.city)},
                                         {"year", s(t.year)},
                                         {"problems", problems}});
                }));
    http_.route(
        "/api/document", Method::Get, guarded([](const QHttpServerRequest& request) {
            const std::optional<std::string> path = cp::fromUtf8(
                request.query().queryItemValue(QStringLiteral("path"), QUrl::FullyDecoded).toStdString());
            course::FilesCourse files;
            const std::optional<std::string> content = path ? files.document(*path) : std::nullopt;
            if (!content)
                return errorResponse(Status::NotFound, QStringLiteral("Нет такого документа курса."));
            const QString name = QString::fromStdString(cp::toUtf8(*path));
            QByteArray mime =
                QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toUtf8();
            QHttpServerResponse response(std::move(mime), QByteArray::fromStdString(*content));
            response.setHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
            return response;
        }));

    // --- A signed-in person: one's own grades, sign-out, the test run.
    http_.route("/api/me", Method::Get, withSession(false, [this](Session& s, const QHttpServerRequest&) {
                    return jsonResponse(personState(s));
                }));
    http_.route("/api/signout", Method::Post,
                withSession(false, [this](Session& s, const QHttpServerRequest&) {
                    closeSession(s);
                    return jsonResponse({});
                }));
    http_.route("/api/run/start", Method::Post,
                withSession(false, [this](Session& s, const QHttpServerRequest& r) {
                    const std::string test = bodyOf(r).value(QStringLiteral("test")).toString().toStdString();
                    const int n = testing::entryNumber(test);
                    if (test.rfind("test", 0) != 0 || n < 1 || n > 10 || "test" + std::to_string(n) != test)
                        return errorResponse(Status::BadRequest, QStringLiteral("Нет такого теста."));
                    if (s.locked.count(test))
                        return errorResponse(Status::Forbidden,
                                             QStringLiteral("Этот тест пока закрыт: сначала сдайте тест "
                                                            "предыдущей темы на 3 или выше."));
                    if (s.course->run() && !s.course->run()->finished())
                        ended(s, 0);
                    s.runLastSeen = Clock::now();
                    QJsonObject out;
                    try {
                        out = questionJson(s.course->startRun(test));
                    } catch (...) {
                        save(s); // the run before, if any, has ended
                        throw;
                    }
                    save(s);
                    if (!s.course->optionsProblem().empty())
                        out.insert(QStringLiteral("optionsProblem"),
                                   QString::fromStdString(s.course->optionsProblem()) +
                                       QStringLiteral(" Тест идёт без параметров; сообщите администратору."));
                    return jsonResponse(out);
                }));
    // The answer that ends a run is answered once the record is written: the records of all runs
    // that end meanwhile are written together, as one change of the record file.
    http_.route(
        "/api/run/answer", Method::Post,
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            bool endOfRun = false;
            Session* s = nullptr;
            QHttpServerResponse response = [&] {
                try {
                    QHttpServerResponse refusal(Status::Unauthorized);
                    s = sessionOf(request, false, &refusal);
                    return s ? answerStep(*s, request, &endOfRun) : std::move(refusal);
                } catch (const std::exception& e) {
                    endOfRun = false;
                    return errorResponse(Status::InternalServerError, QString::fromStdString(e.what()));
                }
            }();
            if (!endOfRun) {
                response.write(std::move(responder));
                return;
            }
            pending_.push_back(std::make_unique<PendingRecord>(PendingRecord{
                s->course->signedInName(), s->course->grades(), QPointer<QTcpSocket>(responder.socket()),
                std::move(responder), std::move(response)}));
            if (pending_.size() == 1)
                QTimer::singleShot(0, this, [this] { writeRecords(); });
        });
    http_.route("/api/run", Method::Get, withSession(false, [](Session& s, const QHttpServerRequest&) {
                    const testing::Run* run = s.course->run();
                    if (!run || run->finished())
                        return jsonResponse({{"active", false}});
                    return jsonResponse({{"active", true},
                                         {"test", u(run->testName())},
                                         {"question", questionJson(run->question())}});
                }));
    http_.route("/api/run/abandon", Method::Post,
                withSession(false, [this](Session& s, const QHttpServerRequest&) {
                    if (s.course->run() && !s.course->run()->finished())
                        ended(s, 0);
                    s.course->abandonRun();
                    save(s);
                    return jsonResponse({});
                }));

    // --- The administrator.
    http_.route("/api/admin/settings", Method::Get,
                withSession(true, [](Session& s, const QHttpServerRequest&) {
                    const accounts::Settings current = s.course->settings();
                    return jsonResponse({{"login", u(current.login)}, {"journal", u(current.journal)}});
                }));
    http_.route("/api/admin/settings", Method::Post,
                withSession(true, [](Session& s, const QHttpServerRequest& r) {
                    const QJsonObject body = bodyOf(r);
                    const std::optional<std::string> login = text(body, "login");
                    const std::optional<std::string> journal = text(body, "journal");
                    std::optional<std::string> password;
                    if (body.contains(QStringLiteral("password")))
                        password = text(body, "password").value_or(std::string(1, '\n'));
                    if (!login || !journal)
                        return errorResponse(Status::BadRequest, kNotEncodable);
                    if (const std::optional<QString> refusal = journalRefusal(*journal))
                        return errorResponse(Status::BadRequest, *refusal);
                    if (const auto refusal = s.course->writeSettings({*login, {}, *journal}, password))
                        return errorResponse(Status::BadRequest, QString::fromStdString(*refusal));
                    return jsonResponse({});
                }));
    http_.route("/api/admin/users", Method::Get, withSession(true, [](Session& s, const QHttpServerRequest&) {
                    QJsonArray users;
                    for (const std::string& name : s.course->userList())
                        users.append(u(name));
                    return jsonResponse({{"users", users}});
                }));
    http_.route(
        "/api/admin/record", Method::Get, withSession(true, [](Session& s, const QHttpServerRequest& r) {
            // The grades of one student as stored (the report prints them): never the password.
            const std::optional<std::string> name = cp::fromUtf8(
                r.query().queryItemValue(QStringLiteral("name"), QUrl::FullyDecoded).toStdString());
            if (!name || accounts::findUser(s.course->userList(), *name) < 0 || !s.course->hasRecord(*name))
                return errorResponse(
                    Status::NotFound,
                    QStringLiteral("Студент не зарегистрирован. Выберите студента из списка."));
            QJsonArray values;
            for (const std::string& v : s.course->storedValues(*name))
                values.append(u(v));
            return jsonResponse({{"name", u(*name)}, {"values", values}});
        }));
    http_.route("/api/admin/pick", Method::Post,
                withSession(true, [this](Session& s, const QHttpServerRequest& r) {
                    const std::optional<std::string> name = text(bodyOf(r), "name");
                    if (!name)
                        return errorResponse(Status::BadRequest, kNotEncodable);
                    const course::Grades picked = s.course->pickUser(*name);
                    save(s);
                    return jsonResponse({{"grades", gradesJson(picked)}});
                }));
    http_.route("/api/admin/delete", Method::Post,
                withSession(true, [](Session& s, const QHttpServerRequest& r) {
                    const std::optional<std::string> name = text(bodyOf(r), "name");
                    if (!name || name->empty())
                        return errorResponse(Status::BadRequest, QStringLiteral("Укажите имя пользователя."));
                    s.course->removeUser(*name);
                    return jsonResponse({});
                }));
    http_.route("/api/admin/journal", Method::Get,
                withSession(true, [](Session& s, const QHttpServerRequest&) {
                    if (const std::optional<QString> refusal = journalRefusal(s.course->journalName()))
                        return errorResponse(Status::BadRequest, *refusal);
                    QJsonArray lines;
                    for (const std::string& line : s.course->journalLines())
                        lines.append(u(line));
                    return jsonResponse({{"lines", lines}});
                }));
    http_.route("/api/admin/overview", Method::Get,
                withSession(true, [](Session& s, const QHttpServerRequest&) {
                    return jsonResponse(classTableJson(s.course->classTable()));
                }));
    http_.route("/api/admin/statistics", Method::Get,
                withSession(true, [](Session& s, const QHttpServerRequest&) {
                    return jsonResponse(statisticsJson(s.course->statistics()));
                }));
    http_.route("/api/admin/items", Method::Get, withSession(true, [](Session& s, const QHttpServerRequest&) {
                    return jsonResponse(itemsJson(s.course->itemAnalysis()));
                }));
    http_.route("/api/admin/options", Method::Get,
                withSession(true, [](Session& s, const QHttpServerRequest&) {
                    const testing::Options o = s.course->options();
                    return jsonResponse({{"shuffleAnswers", o.shuffleAnswers}, {"draw", o.draw}});
                }));
    http_.route("/api/admin/options", Method::Post,
                withSession(true, [](Session& s, const QHttpServerRequest& r) {
                    const QJsonObject body = bodyOf(r);
                    testing::Options o;
                    o.shuffleAnswers = body.value(QStringLiteral("shuffleAnswers")).toBool();
                    o.draw = body.value(QStringLiteral("draw")).toInt(-1);
                    s.course->writeOptions(o);
                    return jsonResponse({});
                }));
    http_.route(
        "/api/admin/install", Method::Post, withSession(true, [](Session& s, const QHttpServerRequest& r) {
            const QJsonObject body = bodyOf(r);
            const QByteArray source =
                QByteArray::fromBase64(body.value(QStringLiteral("source")).toString().toLatin1());
            const course::Installed out =
                s.course->installTest(body.value(QStringLiteral("number")).toInt(0), source.toStdString());
            return jsonResponse({{"questions", out.questions},
                                 {"path", QString::fromStdString(out.path)},
                                 {"backup", QString::fromStdString(out.backup)}});
        }));
    // The administrator's test tools: the questions of an installed test with their right answers
    // (the test editor), how the course names a test file, a whole test file made on the
    // administrator's computer, and the figures its questions name.
    const auto testNumber = [](const QHttpServerRequest& r) {
        return r.query().queryItemValue(QStringLiteral("number")).toInt();
    };
    http_.route("/api/admin/test/items", Method::Get,
                withSession(true, [testNumber](Session& s, const QHttpServerRequest& r) {
                    QJsonArray items;
                    for (const testing::authoring::Item& item : s.course->testItems(testNumber(r))) {
                        QJsonArray answers;
                        for (const std::string& a : item.answers)
                            answers.append(u(a));
                        items.append(QJsonObject{{"text", u(item.text)},
                                                 {"answers", answers},
                                                 {"right", item.right},
                                                 {"line", item.line}});
                    }
                    return jsonResponse({{"items", items}});
                }));
    http_.route("/api/admin/test/file", Method::Get,
                withSession(true, [testNumber](Session& s, const QHttpServerRequest& r) {
                    const course::TestFile file = s.course->testFile(testNumber(r));
                    return jsonResponse(
                        {{"shown", QString::fromStdString(file.shown)}, {"installed", file.installed}});
                }));
    http_.route("/api/admin/test/install", Method::Post,
                withSession(true, [](Session& s, const QHttpServerRequest& r) {
                    const QJsonObject body = bodyOf(r);
                    const QByteArray content =
                        QByteArray::fromBase64(body.value(QStringLiteral("content")).toString().toLatin1());
                    const course::Installed out = s.course->installTestFile(
                        body.value(QStringLiteral("number")).toInt(0), content.toStdString());
                    return jsonResponse({{"path", QString::fromStdString(out.path)},
                                         {"backup", QString::fromStdString(out.backup)}});
                }));
    http_.route("/api/admin/test/figures", Method::Post,
                withSession(true, [](Session& s, const QHttpServerRequest& r) {
                    const QJsonObject body = bodyOf(r);
                    std::vector<testing::authoring::Figure> figures;
                    for (const QJsonValue v : body.value(QStringLiteral("figures")).toArray()) {
                        const QJsonObject f = v.toObject();
                        testing::authoring::Figure figure{
                            f.value(QStringLiteral("name")).toString().toStdString(), std::nullopt};
                        if (f.value(QStringLiteral("bytes")).isString())
                            figure.bytes =
                                QByteArray::fromBase64(f.value(QStringLiteral("bytes")).toString().toLatin1())
                                    .toStdString();
                        figures.push_back(std::move(figure));
                    }
                    QJsonArray written;
                    for (const std::string& name : s.course->installFigures(
                             figures, body.value(QStringLiteral("sourceFolder")).toString().toStdString()))
                        written.append(QString::fromStdString(name));
                    return jsonResponse({{"written", written}});
                }));
    http_.route(
        "/api/admin/monitor", Method::Get, withSession(true, [this](Session&, const QHttpServerRequest&) {
            QJsonArray people, recent;
            for (const auto& [token, s] : sessions_) {
                QJsonObject p{
                    {"name", u(s.course->signedInName())},
                    {"address", s.address},
                    {"role", s.course->role() == course::Role::Administrator ? "administrator" : "student"}};
                if (const testing::Run* run = s.course->run(); run && !run->finished()) {
                    p.insert(QStringLiteral("test"), u(run->testName()));
                    p.insert(QStringLiteral("question"), std::min(run->current(), run->count()));
                    p.insert(QStringLiteral("count"), run->count());
                }
                people.append(p);
            }
            for (const Ended& e : recent_)
                recent.append(QJsonObject{
                    {"name", u(e.name)}, {"test", u(e.test)}, {"grade", e.grade}, {"time", e.time}});
            return jsonResponse({{"signedIn", people}, {"recent", recent}});
        }));
}

} // namespace ortavia::server
