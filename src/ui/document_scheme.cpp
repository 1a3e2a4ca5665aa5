#include "ui/document_scheme.h"

#include <QBuffer>
#include <QMimeDatabase>
#include <QPointer>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "course/server_course.h"
#include "store/error.h"

namespace ortavia::ui {

void registerDocumentScheme() {
    QWebEngineUrlScheme scheme(QByteArray(course::ServerCourse::kScheme));
    // ortavia://course/data/...: a host, so that a page's relative links resolve as on a web site.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

DocumentScheme::DocumentScheme(QWebEngineProfile* profile, course::Course& course)
    : profile_(profile), course_(course) {
    const QByteArray name(course::ServerCourse::kScheme);
    profile->removeUrlScheme(name);
    profile->installUrlSchemeHandler(name, this);
}

DocumentScheme::~DocumentScheme() {
    if (profile_)
        profile_->removeUrlSchemeHandler(this);
}

void DocumentScheme::requestStarted(QWebEngineUrlRequestJob* job) {
    // Answered from the event loop, not inside the engine's call: the request to the server waits.
    QTimer::singleShot(0, this, [this, job = QPointer<QWebEngineUrlRequestJob>(job)] {
        if (job)
            answer(job);
    });
}

void DocumentScheme::answer(QWebEngineUrlRequestJob* job) {
    const std::optional<std::string> path = course::ServerCourse::documentPathOf(job->requestUrl());
    if (!path || job->requestMethod() != QByteArrayLiteral("GET")) {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    std::optional<std::string> content;
    try {
        content = course_.document(*path);
    } catch (const Error&) {
        job->fail(QWebEngineUrlRequestJob::RequestFailed); // the server cannot be reached
        return;
    }
    if (!content) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(QByteArray::fromStdString(*content));
    const QString name = job->requestUrl().fileName();
    job->reply(QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toUtf8(), buffer);
}

} // namespace ortavia::ui
