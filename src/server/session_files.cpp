#include "server/session_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomicfile.h"
#include "store/error.h"

namespace ortavia::server {
namespace {

const char* const kFolder = ".server";
const char* const kLog = ".server/sessions.log";

QString shown(const char* path) {
    return QDir(QString::fromLatin1(path)).absolutePath();
}

} // namespace

std::string keyOf(const QByteArray& token) {
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256).toHex().toStdString();
}

QByteArray randomToken() {
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

SessionFiles::SessionFiles() {
    if (!QDir().mkpath(QString::fromLatin1(kFolder)) || ::chmod(kFolder, 0700) != 0)
        throw Error(QStringLiteral("не удалось создать папку \"%1\" с правами 0700.")
                        .arg(shown(kFolder))
                        .toStdString());
    open();
}

SessionFiles::~SessionFiles() {
    if (fd_ >= 0)
        ::close(fd_);
}

void SessionFiles::open() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = ::open(kLog, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || ::fchmod(fd_, 0600) != 0)
        throw Error(QStringLiteral("не удалось открыть файл \"%1\": %2.")
                        .arg(shown(kLog), QString::fromStdString(atomicfile::reason(errno)))
                        .toStdString());
    size_ = st.st_size;
}

void SessionFiles::append(const QJsonObject& line) {
    // One write of one whole line: a server killed meanwhile leaves the line whole or not at all.
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (!atomicfile::writeFully(fd_, bytes.constData(), static_cast<size_t>(bytes.size()))) {
        const int err = errno;
        // A piece of the line written is cut off again: the next line starts a line of its own.
        [[maybe_unused]] const int ignored = ::ftruncate(fd_, static_cast<off_t>(size_));
        throw Error(QStringLiteral("не удалось дописать файл \"%1\": %2.")
                        .arg(shown(kLog), QString::fromStdString(atomicfile::reason(err)))
                        .toStdString());
    }
    size_ += bytes.size();
}

void SessionFiles::write(const QJsonObject& record) {
    append(record);
}

void SessionFiles::progress(const std::string& key, const QJsonObject& change) {
    QJsonObject line = change;
    line.insert(QStringLiteral("token"), QString::fromStdString(key));
    line.insert(QStringLiteral("progress"), true);
    append(line);
}

void SessionFiles::remove(const std::string& key) {
    append({{"token", QString::fromStdString(key)}, {"gone", true}});
}

std::map<std::string, QJsonObject> SessionFiles::readAll(std::vector<QString>* problems) const {
    std::map<std::string, QJsonObject> records;
    QFile file(QString::fromLatin1(kLog));
    if (!file.open(QIODevice::ReadOnly))
        return records;
    int number = 0;
    for (const QByteArray& text : file.readAll().split('\n')) {
        ++number;
        if (text.isEmpty())
            continue;
        const QJsonObject line = QJsonDocument::fromJson(text).object();
        const std::string key = line.value(QStringLiteral("token")).toString().toStdString();
        if (key.empty()) {
            problems->push_back(QStringLiteral("файл \"%1\", строка %2 не прочитана: сеанс не восстановлен.")
                                    .arg(shown(kLog))
                                    .arg(number));
            continue;
        }
        if (line.value(QStringLiteral("gone")).toBool()) {
            records.erase(key);
        } else if (!line.value(QStringLiteral("progress")).toBool()) {
            records[key] = line;
        } else if (auto it = records.find(key); it != records.end()) {
            // The progress: fields of the record, and those of its run under "run".
            QJsonObject& record = it->second;
            QJsonObject run = record.value(QStringLiteral("run")).toObject();
            const QJsonObject runChange = line.value(QStringLiteral("run")).toObject();
            for (auto field = runChange.begin(); field != runChange.end(); ++field)
                run.insert(field.key(), field.value());
            for (auto field = line.begin(); field != line.end(); ++field)
                if (field.key() != QLatin1String("run") && field.key() != QLatin1String("progress"))
                    record.insert(field.key(), field.value());
            record.insert(QStringLiteral("run"), run);
        }
    }
    return records;
}

void SessionFiles::rewrite(const std::vector<QJsonObject>& records) {
    QByteArray content;
    for (const QJsonObject& r : records)
        content += QJsonDocument(r).toJson(QJsonDocument::Compact) + '\n';
    // Only this process writes the log, which open() has made 0600: the new one takes its mode.
    atomicfile::replaceUnderLockOf(
        kLog, std::string_view(content.constData(), static_cast<std::size_t>(content.size())), kLog);
    open();
}

} // namespace ortavia::server
