#pragma once
// The page for students at https://HOST:PORT/: the page itself, its script and style (compiled in
// from src/server/web/), the course's documents under /course/, and the page's own routes under
// /web/ (sign-in, registration, sign-out, the catalogue). The test run and the grades go through the
// server's own /api/ routes, reached by the page's session cookie instead of a token.
//
// Cross-site requests: the session cookie is HttpOnly, Secure and SameSite=Strict; a page's session
// is used only by requests whose Origin, when they carry one, is this server, and every change
// carries the session's CSRF token in the header X-CSRF-Token. Before sign-in the page's changes
// (sign-in, registration) carry the token of the page as served, which the cookie
// __Host-ortavia-page holds as well.
#include <QHttpServerRequest>
#include <QString>
#include <string>

namespace ortavia::server {

class LabServer;

class WebRoutes {
public:
    static void add(LabServer& server);

    // The token of the page's session cookie, or empty.
    static std::string cookieToken(const QHttpServerRequest& request);
    // The session's token against cross-site requests: derived from the session's own token, which
    // only the cookie holds (out of any script's reach).
    static std::string csrfOf(const std::string& token);
    // Whether a request may use the session of its cookie (token): it comes from this server's own
    // page, and a change carries the session's CSRF token.
    static bool cookieAllowed(const QHttpServerRequest& request, const std::string& token);
    // Whether a request was sent by a page of another site (an Origin header that is not this
    // server). The desktop client sends no Origin.
    static bool fromOtherSite(const QHttpServerRequest& request);

    static const QString kCrossSite;
};

} // namespace ortavia::server
