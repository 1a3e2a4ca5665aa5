#pragma once
// The client's side of the trust in the lab server: its certificate is the one whose SHA-256
// fingerprint the administrator printed (ortavia-server --fingerprint), or nothing is sent.
#include <string>

class QNetworkReply;

namespace ortavia::course {

// Makes the reply go on only with a server whose certificate has the fingerprint (hex, any case,
// ':' or blanks allowed between the bytes): a self-signed certificate of that fingerprint is
// accepted, any other certificate (a system-trusted one included) aborts the reply before its
// request is sent. Call right after the request is made.
void pinFingerprint(QNetworkReply* reply, const std::string& fingerprint);

} // namespace ortavia::course
