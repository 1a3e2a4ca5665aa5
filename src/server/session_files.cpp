#include "server/session_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/atomicfile.h"
#include "store/error.h"

namespace ortavia::server {
namespace {

const QString kFolder = QStringLiteral(".server/sessions");

bool isKey(const QString& name) {
    if (name.size() != 64)
        return false;
    for (const QChar c : name)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

} // namespace

std::string keyOf(const QByteArray& token) {
    return QCryptographicHash::hash(token, QCryptographicHash::Sha256).toHex().toStdString();
}

SessionFiles::SessionFiles() {
    for (const QString& folder : {QStringLiteral(".server"), kFolder})
        if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
            throw Error(QStringLiteral("не удалось создать папку \"%1\" с правами 0700.")
                            .arg(QDir(folder).absolutePath())
                            .toStdString());
}

std::string SessionFiles::path(const std::string& key) const {
    return kFolder.toStdString() + '/' + key;
}

void SessionFiles::write(const std::string& key, const QJsonObject& record) {
    const std::string file = path(key);
    // Made 0600 before its first content; each replacement keeps the mode of the file it replaces.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0)
        ::close(fd);
    const QByteArray content = QJsonDocument(record).toJson(QJsonDocument::Compact);
    atomicfile::update(file, atomicfile::Missing::Create,
                       [&](const std::string*) { return std::optional<std::string>(content.toStdString()); });
}

void SessionFiles::remove(const std::string& key) {
    const std::string file = path(key);
    ::unlink(file.c_str());
    ::unlink((file + ".lock").c_str());
}

std::vector<std::pair<std::string, QJsonObject>> SessionFiles::readAll(std::vector<QString>* problems) const {
    std::vector<std::pair<std::string, QJsonObject>> records;
    const QDir dir(kFolder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (!isKey(name))
            continue; // the lock files and temporary files beside the records
        QFile file(dir.filePath(name));
        if (file.size() == 0) { // made, and the server stopped before its first content
            file.remove();
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                           ? QJsonDocument::fromJson(file.readAll(), &error)
                                           : QJsonDocument();
        if (!document.isObject()) {
            problems->push_back(QStringLiteral("сеанс в файле \"%1\" не прочитан и не восстановлен.")
                                    .arg(QFileInfo(file).absoluteFilePath()));
            continue;
        }
        records.emplace_back(name.toStdString(), document.object());
    }
    return records;
}

} // namespace ortavia::server
