#include "server/web.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHttpServer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <functional>

#include "docs/catalogue.h"
#include "server/server.h"
#include "store/codepage.h"
#include "testing/notation.h"

namespace ortavia::server {
namespace {

using Status = QHttpServerResponse::StatusCode;
using Method = QHttpServerRequest::Method;

const QByteArray kSessionCookie = QByteArrayLiteral("__Host-ortavia");
const QByteArray kPageCookie = QByteArrayLiteral("__Host-ortavia-page");
const QByteArray kCsrfHeader = QByteArrayLiteral("X-CSRF-Token");

// The page and its script may load nothing from another origin and run no inline script; the
// course's documents, shown in the page's frame, run no script at all.
const QByteArray kPagePolicy = QByteArrayLiteral(
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "frame-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
const QByteArray kDocumentPolicy = QByteArrayLiteral(
    "default-src 'none'; img-src 'self'; style-src 'self' 'unsafe-inline'; font-src 'self'; media-src "
    "'self'; "
    "form-action 'none'; base-uri 'self'; frame-ancestors 'self'; sandbox allow-same-origin");

QByteArray cookie(const QHttpServerRequest& request, const QByteArray& name) {
    for (const QByteArray& part : request.value(QByteArrayLiteral("Cookie")).split(';')) {
        const QByteArray item = part.trimmed();
        if (item.startsWith(name + '='))
            return item.mid(name.size() + 1);
    }
    return {};
}

QByteArray setCookie(const QByteArray& name, const QByteArray& value, bool remove = false) {
    return name + '=' + value + QByteArrayLiteral("; Path=/; Secure; HttpOnly; SameSite=Strict") +
           (remove ? QByteArrayLiteral("; Max-Age=0") : QByteArray());
}

// This server's own origin as a browser names it (from the Host the browser connected to).
QByteArray ownOrigin(const QHttpServerRequest& request) {
    return QByteArrayLiteral("https://") + request.value(QByteArrayLiteral("Host")).toLower();
}

bool sameOrigin(const QHttpServerRequest& request) {
    const QByteArray origin = request.value(QByteArrayLiteral("Origin")).toLower();
    return !origin.isEmpty() && origin == ownOrigin(request);
}

bool tokenEquals(const QByteArray& a, const QByteArray& b) {
    if (a.isEmpty() || a.size() != b.size())
        return false;
    int differ = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        differ |= a[i] ^ b[i];
    return differ == 0;
}

// The headers of every answer to the page.
void secure(QHttpServerResponse& response, const QByteArray& policy = kPagePolicy) {
    response.setHeader(QByteArrayLiteral("Content-Security-Policy"), policy);
    // The same for browsers that know frame-ancestors not yet: the page in no frame, documents in its own.
    response.setHeader(QByteArrayLiteral("X-Frame-Options"),
                       policy == kPagePolicy ? QByteArrayLiteral("DENY") : QByteArrayLiteral("SAMEORIGIN"));
    response.setHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
    response.setHeader(QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer"));
    response.setHeader(QByteArrayLiteral("Cross-Origin-Opener-Policy"), QByteArrayLiteral("same-origin"));
    response.setHeader(QByteArrayLiteral("Cross-Origin-Resource-Policy"), QByteArrayLiteral("same-origin"));
    response.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
}

QHttpServerResponse asset(const QString& name, const QByteArray& mime) {
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return errorResponse(Status::NotFound, QStringLiteral("Нет такой страницы."));
    QHttpServerResponse response(mime, file.readAll());
    secure(response);
    return response;
}

// The refusal of a change that does not come from this server's page as served.
std::optional<QHttpServerResponse> pageRefusal(const QHttpServerRequest& request) {
    if (sameOrigin(request) && tokenEquals(request.value(kCsrfHeader), cookie(request, kPageCookie)))
        return std::nullopt;
    return errorResponse(Status::Forbidden, WebRoutes::kCrossSite);
}

QJsonObject entryJson(const docs::MenuEntry& e) {
    static const char* const kinds[] = {"menu", "command", "view", "launch", "test"};
    QJsonObject o{{"name", QString::fromLatin1(e.name)},
                  {"caption", QString::fromUtf8(e.caption)},
                  {"kind", QString::fromLatin1(kinds[static_cast<int>(e.action)])}};
    if (e.action == docs::Action::View) {
        // "\data\info\lig-1.html" -> "/course/data/info/lig-1.html"
        QString path = QString::fromUtf8(e.target).replace(QLatin1Char('\\'), QLatin1Char('/'));
        o.insert(QStringLiteral("url"), QStringLiteral("/course") + path);
    }
    return o;
}

// The menu as the page offers it to a student: the entries of the menu bar that a student sees,
// in menu order, each with the items that a student sees (the slide shows listed too, marked as
// opening on the lab computers). What the administrator alone has is left out.
QJsonArray catalogueJson() {
    const auto entries = docs::menuEntries();
    const auto itemsOf = [&](const char* parent) {
        QJsonArray items;
        for (const docs::MenuEntry& e : entries)
            if (e.parent && std::string_view(e.parent) == parent && e.visible &&
                e.action != docs::Action::Submenu)
                items.append(entryJson(e));
        return items;
    };
    QJsonArray bar;
    for (const docs::MenuEntry& e : entries) {
        if (e.parent)
            continue;
        const std::string_view name = e.name;
        if (!e.visible && name != "N5" && name != "N0" && name != "Nadm")
            continue;
        QJsonObject o = entryJson(e);
        if (e.action == docs::Action::Submenu)
            o.insert(QStringLiteral("items"), itemsOf(e.name));
        bar.append(o);
    }
    return bar;
}

// A handler's answer; an error of the core is the answer's message, never a crash of the server.
QHttpServerResponse safely(const std::function<QHttpServerResponse()>& answer) {
    try {
        return answer();
    } catch (const std::exception& e) {
        return errorResponse(Status::InternalServerError, QString::fromStdString(e.what()));
    }
}

} // namespace

const QString WebRoutes::kCrossSite =
    QStringLiteral("Запрос отклонён: он отправлен не со страницы этого сервера. Обновите страницу.");

std::string WebRoutes::cookieToken(const QHttpServerRequest& request) {
    return cookie(request, kSessionCookie).toStdString();
}

std::string WebRoutes::csrfOf(const std::string& token) {
    const QByteArray salted = QByteArrayLiteral("ortavia csrf ") + QByteArray::fromStdString(token);
    return QCryptographicHash::hash(salted, QCryptographicHash::Sha256).toHex().toStdString();
}

bool WebRoutes::cookieAllowed(const QHttpServerRequest& request, const std::string& token) {
    if (token.empty() || fromOtherSite(request))
        return false;
    if (request.method() == Method::Get)
        return true;
    return sameOrigin(request) &&
           tokenEquals(request.value(kCsrfHeader), QByteArray::fromStdString(csrfOf(token)));
}

bool WebRoutes::fromOtherSite(const QHttpServerRequest& request) {
    const QByteArray origin = request.value(QByteArrayLiteral("Origin"));
    return !origin.isEmpty() && !sameOrigin(request);
}

void WebRoutes::add(LabServer& server) {
    QHttpServer& http = server.http_;

    // The page: its token against cross-site requests before sign-in, in the page and in a cookie.
    http.route("/", Method::Get, [](const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            QFile file(QStringLiteral(":/web/index.html"));
            file.open(QIODevice::ReadOnly);
            // Several tabs of the page share one token: a page loaded again keeps the one of its cookie.
            QByteArray token = cookie(request, kPageCookie);
            if (token.size() != 64 || QByteArray::fromHex(token).toHex() != token)
                token = randomToken();
            QHttpServerResponse response(QByteArrayLiteral("text/html; charset=utf-8"),
                                         file.readAll().replace(QByteArrayLiteral("@PAGE_TOKEN@"), token));
            secure(response);
            response.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
            response.addHeader(QByteArrayLiteral("Set-Cookie"), setCookie(kPageCookie, token));
            return response;
        });
    });
    http.route("/app.js", Method::Get, [](const QHttpServerRequest&) {
        return safely([&]() -> QHttpServerResponse {
            return asset(QStringLiteral("app.js"), QByteArrayLiteral("text/javascript; charset=utf-8"));
        });
    });
    http.route("/app.css", Method::Get, [](const QHttpServerRequest&) {
        return safely([&]() -> QHttpServerResponse {
            return asset(QStringLiteral("app.css"), QByteArrayLiteral("text/css; charset=utf-8"));
        });
    });
    http.route("/icon.svg", Method::Get, [](const QHttpServerRequest&) {
        return asset(QStringLiteral("icon.svg"), QByteArrayLiteral("image/svg+xml"));
    });
    http.route("/web/catalogue", Method::Get, [](const QHttpServerRequest&) {
        QHttpServerResponse response = jsonResponse({{"menu", catalogueJson()}});
        secure(response);
        return response;
    });

    // The course's documents: their links and pictures resolve under /course/ as in the folder.
    http.route("/course/<arg>", Method::Get, [](const QUrl&, const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            const QString path = request.url().path(QUrl::FullyDecoded).mid(int(sizeof("/course") - 1));
            const std::optional<std::string> relative = cp::fromUtf8(path.toStdString());
            course::FilesCourse files;
            const std::optional<std::string> content = relative ? files.document(*relative) : std::nullopt;
            if (!content) {
                QHttpServerResponse missing(QByteArrayLiteral("text/plain; charset=utf-8"),
                                            QByteArrayLiteral("Нет такого документа курса."),
                                            Status::NotFound);
                secure(missing, kDocumentPolicy);
                return missing;
            }
            QByteArray mime =
                QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8();
            if (mime.startsWith("text/"))
                mime += QByteArrayLiteral("; charset=utf-8");
            QHttpServerResponse response(std::move(mime), QByteArray::fromStdString(*content));
            secure(response, kDocumentPolicy);
            return response;
        });
    });
    // A figure of the test questions (data/tests/img): a plain file name, a picture only.
    http.route("/web/figure/<arg>", Method::Get, [](const QString& name, const QHttpServerRequest&) {
        return safely([&]() -> QHttpServerResponse {
            namespace notation = testing::notation;
            const QString file = notation::plainFigureName(name)
                                     ? notation::figurePath(course::FilesCourse().figureFolder(), name)
                                     : QString();
            const QByteArray mime =
                QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toUtf8();
            QFile f(file);
            if (file.isEmpty() || !mime.startsWith("image/") || !f.open(QIODevice::ReadOnly))
                return errorResponse(Status::NotFound, QStringLiteral("Нет такого рисунка."));
            QHttpServerResponse response(mime, f.readAll());
            secure(response, kDocumentPolicy);
            return response;
        });
    });

    // Before sign-in: registration, deletion of one's own record and sign-in, from the page only.
    http.route("/web/register", Method::Post, [](const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            if (auto refusal = pageRefusal(request))
                return std::move(*refusal);
            return LabServer::registration(request);
        });
    });
    http.route("/web/delete", Method::Post, [&server](const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            if (auto refusal = pageRefusal(request))
                return std::move(*refusal);
            return server.passwordCheck(request, true);
        });
    });
    http.route("/web/signin", Method::Post, [&server](const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            if (auto refusal = pageRefusal(request))
                return std::move(*refusal);
            QHttpServerResponse signedIn = server.signIn(request, true);
            if (signedIn.statusCode() != Status::Ok)
                return signedIn;
            QJsonObject person = QJsonDocument::fromJson(signedIn.data()).object();
            const std::string token = person.take(QStringLiteral("token")).toString().toStdString();
            person.insert(QStringLiteral("csrf"), QString::fromStdString(csrfOf(token)));
            QHttpServerResponse response = jsonResponse(person);
            response.addHeader(QByteArrayLiteral("Set-Cookie"),
                               setCookie(kSessionCookie, QByteArray::fromStdString(token)));
            return response;
        });
    });

    // A page's session: who is signed in (after a reload of the page), and sign-out.
    http.route("/web/me", Method::Get, [&server](const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            QHttpServerResponse refusal(Status::Unauthorized);
            LabServer::Session* s = server.sessionOf(request, false, &refusal);
            if (!s)
                return refusal;
            QJsonObject person = server.personState(*s);
            person.insert(QStringLiteral("csrf"), QString::fromStdString(csrfOf(cookieToken(request))));
            return jsonResponse(person);
        });
    });
    http.route("/web/signout", Method::Post, [&server](const QHttpServerRequest& request) {
        return safely([&]() -> QHttpServerResponse {
            if (WebRoutes::fromOtherSite(request))
                return errorResponse(Status::Forbidden, kCrossSite);
            QHttpServerResponse refusal(Status::Unauthorized);
            LabServer::Session* s = server.sessionOf(request, false, &refusal);
            if (s)
                server.closeSession(*s);
            QHttpServerResponse response = s ? jsonResponse({}) : std::move(refusal);
            // A refused request (no page token) leaves the cookie: the session lives on.
            if (response.statusCode() != Status::Forbidden)
                response.addHeader(QByteArrayLiteral("Set-Cookie"), setCookie(kSessionCookie, {}, true));
            return response;
        });
    });
}

} // namespace ortavia::server
