#pragma once
// The server's own record of its sessions, so that a restart loses no run under way: one file per
// session in .server/sessions/ of the course folder (the folders 0700, the files 0600, readable
// by the server's user alone), named by the SHA-256 of the session's token, which is never
// written in clear. Each change replaces the file whole (write, flush, rename).
#include <QJsonObject>
#include <QString>
#include <string>
#include <utility>
#include <vector>

namespace ortavia::server {

class SessionFiles {
public:
    // The folder of the course folder in the current directory, made when missing. Throws Error
    // (Russian, naming the folder) when it cannot be made.
    SessionFiles();

    // Writes the record of the session key. Throws Error when it cannot be written.
    void write(const std::string& key, const QJsonObject& record);
    void remove(const std::string& key);

    // Every record kept: its key and content. A file that is no record is told in problems
    // (Russian, naming the file) and left where it is.
    std::vector<std::pair<std::string, QJsonObject>> readAll(std::vector<QString>* problems) const;

private:
    std::string path(const std::string& key) const;
};

// The key of a token: its SHA-256 in lower-case hex.
std::string keyOf(const QByteArray& token);

} // namespace ortavia::server
