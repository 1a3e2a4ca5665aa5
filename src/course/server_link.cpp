#include "course/server_link.h"

#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>

#include "course/course.h"

namespace ortavia::course {

void pinFingerprint(QNetworkReply* reply, const std::string& fingerprint) {
    const auto matches = [reply, fingerprint] {
        return verifyFingerprint(reply->sslConfiguration().peerCertificate().toDer(), fingerprint);
    };
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [reply, matches](const QList<QSslError>& errors) {
                         if (matches())
                             reply->ignoreSslErrors(errors);
                     });
    // A certificate the system trusts raises no error: it is checked all the same once encrypted.
    QObject::connect(reply, &QNetworkReply::encrypted, reply, [reply, matches] {
        if (!matches())
            reply->abort();
    });
}

} // namespace ortavia::course
