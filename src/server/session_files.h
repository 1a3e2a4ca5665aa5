#pragma once
// The server's own record of its sessions, so that a restart loses no run under way: one log in
// .server/ of the course folder (the folder 0700, the file 0600, readable by the server's user
// alone). Each change of a session is one line appended before the reply: the whole record (at
// sign-in, at the start and the end of a run), the progress of its run (at each answer), or its
// end. A session is known by the SHA-256 of its token; the token itself is written nowhere. The
// log is read back at the start and then rewritten whole (atomicfile::replaceUnderLockOf) with the
// records of the sessions that live on, as it is when it has grown large.
#include <QJsonObject>
#include <QString>
#include <map>
#include <string>
#include <vector>

namespace ortavia::server {

class SessionFiles {
public:
    // The folder of the course folder in the current directory, made when missing. Throws Error
    // (Russian, naming the folder) when it cannot be made.
    SessionFiles();
    ~SessionFiles();
    SessionFiles(const SessionFiles&) = delete;
    SessionFiles& operator=(const SessionFiles&) = delete;

    // One change appended. Throws Error when it cannot be written.
    void write(const QJsonObject& record);                            // the whole record
    void progress(const std::string& key, const QJsonObject& change); // fields of the record and its run
    void remove(const std::string& key);
    bool large() const { return size_ > kLarge; }

    // The records of the log, each with every change applied, by key. Lines that cannot be read are
    // told in problems (Russian, naming the file and the line) and passed over.
    std::map<std::string, QJsonObject> readAll(std::vector<QString>* problems) const;
    // The log replaced by these records, whole. Throws Error when it cannot be written.
    void rewrite(const std::vector<QJsonObject>& records);

private:
    static constexpr long long kLarge = 16 << 20;
    void append(const QJsonObject& line);
    void open();
    int fd_ = -1;
    long long size_ = 0;
};

// The key of a token: its SHA-256 in lower-case hex.
std::string keyOf(const QByteArray& token);
// A new token: 256 random bits from the system's source, in lower-case hex.
QByteArray randomToken();

} // namespace ortavia::server
