#pragma once
// The lab server: one course folder (the current directory) served to the clients over HTTPS with
// JSON. Every student's and the administrator's session is a FilesCourse of its own, found by a
// random token; the run of a test lives here, and grades, journal and answer log are written by the
// same core code as on a single computer. Every session and its run are also written to the
// server's own folder (.server/sessions.log) at each change, before the reply, and read back at the
// next start, so that a restart of the server loses no run under way.
#include <QHttpServer>
#include <QHttpServerResponder>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "course/files_course.h"
#include "server/session_files.h"

namespace ortavia::server {

using Clock = std::chrono::steady_clock;

struct Timeouts {
    std::chrono::seconds sessionIdle{2 * 60 * 60}; // a token unused this long is refused
    std::chrono::seconds runIdle{30 * 60};         // an unanswered run this long ends without a grade
    std::chrono::seconds failureWindow{60};        // five failed sign-ins of a name within it ...
    std::chrono::seconds wait{30};                 // ... make the name wait this long
};

class LabServer : public QObject {
    friend class WebRoutes; // the page for students (web.h) reuses the sessions and routes
public:
    explicit LabServer(Timeouts timeouts, QObject* parent = nullptr);
    QHttpServer& http() { return http_; }

private:
    struct Session {
        std::string key; // the SHA-256 of the token: the token itself is kept nowhere
        std::unique_ptr<course::FilesCourse> course;
        QString address;
        qint64 signedInAt = 0; // ms since the epoch
        Clock::time_point lastSeen, runLastSeen, savedSeen;
        std::set<std::string> locked; // commands of topics the student may not open yet
    };
    struct Failures {
        std::deque<Clock::time_point> times;
        Clock::time_point waitUntil{};
    };
    struct Ended {
        std::string name, test; // code page
        int grade = 0;          // 0: ended without a grade
        QString time;
    };

    // A record to write for a run that has ended, and the answer that waits for it.
    struct PendingRecord {
        std::string name;
        course::Grades grades;
        QPointer<QTcpSocket> socket;
        QHttpServerResponder responder;
        QHttpServerResponse response;
    };

    void addRoutes();
    QHttpServerResponse answerStep(Session& s, const QHttpServerRequest& request, bool* endOfRun);
    void writeRecords();
    // The session of the request's token: nullptr and the refusal (401 or 403) in refusal.
    Session* sessionOf(const QHttpServerRequest& request, bool administrator, QHttpServerResponse* refusal);
    // studentOnly: the administrator is refused (403) before any session is made.
    QHttpServerResponse signIn(const QHttpServerRequest& request, bool studentOnly = false);
    static QHttpServerResponse registration(const QHttpServerRequest& request);
    void closeSession(Session& s); // sign-out: the run ended without a grade, the grades saved
    QHttpServerResponse passwordCheck(const QHttpServerRequest& request, bool andDelete);
    std::optional<QString> waitFor(const std::string& name);
    void failed(const std::string& name);
    QJsonObject personState(const Session& s) const;
    void unlockPassed(Session& s);
    void sweep();
    void ended(const Session& s, int grade);
    // The session's record written (before the reply): whole, or only the times and the progress
    // of its run. A failure is told on the server's error output and the session goes on in memory.
    void save(Session& s, bool whole = true);
    QJsonObject recordOf(Session& s);
    void rewriteSessions(); // the log of the sessions rewritten with their records alone
    void forget(const Session& s);
    void restore();

    Timeouts timeouts_;
    SessionFiles files_;
    QHttpServer http_;
    QTimer sweeper_;
    std::map<std::string, Session> sessions_;
    std::map<std::string, Failures> failures_; // by the name folded to lower case
    std::deque<Ended> recent_;
    std::vector<std::unique_ptr<PendingRecord>> pending_;
};

// The route handlers' common answers.
QHttpServerResponse
jsonResponse(const QJsonObject& body,
             QHttpServerResponse::StatusCode status = QHttpServerResponse::StatusCode::Ok);
QHttpServerResponse errorResponse(QHttpServerResponse::StatusCode status, const QString& message);

} // namespace ortavia::server
