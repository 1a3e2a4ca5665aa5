// ortavia-server: serves one course folder to the lab's clients over HTTPS.
//   ortavia-server --course DIR [--listen ADDR:PORT] [--tls-cert FILE --tls-key FILE]
//   ortavia-server --course DIR --fingerprint
//   ortavia-server [--config FILE]   (the settings of FILE, by default /etc/ortavia/server.conf)
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpServer>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <sys/stat.h>

#include "course/course.h"
#include "server/server.h"
#include "store/atomicfile.h"

namespace {

constexpr int kOk = 0, kFailed = 1, kWrongCall = 2;
const QString kDefaultConfig = QStringLiteral("/etc/ortavia/server.conf");

const char* const kUsage =
    "Использование:\n"
    "  ortavia-server --course ПАПКА [--listen АДРЕС:ПОРТ] [--tls-cert ФАЙЛ --tls-key ФАЙЛ]\n"
    "  ortavia-server --course ПАПКА [--tls-cert ФАЙЛ] --fingerprint\n"
    "  ortavia-server [--config ФАЙЛ] [параметры]\n"
    "Открывает папку курса компьютерам класса по HTTPS (порт по умолчанию 8443). Ключ и самоподписанный\n"
    "сертификат создаются при первом запуске в ПАПКА/.server/; --fingerprint печатает отпечаток\n"
    "SHA-256 сертификата, который вводится на компьютерах студентов.\n"
    "  --session-timeout С   сеанс без запросов дольше С секунд закрывается (по умолчанию 7200)\n"
    "  --run-timeout С       тест без ответов дольше С секунд прерывается без оценки (по умолчанию 1800)\n"
    "  --config ФАЙЛ         настройки из ФАЙЛА (строки «параметр = значение»: course, listen, tls-cert,\n"
    "                        tls-key, session-timeout, run-timeout); без --course читается\n"
    "                        /etc/ortavia/server.conf. Параметры командной строки важнее файла.\n";

int fail(const QString& message) {
    std::cerr << "ortavia-server: " << message.toStdString() << '\n';
    return kFailed;
}

// The fingerprint as administrators compare it: upper-case hex bytes separated by ':'.
QString shownFingerprint(const QSslCertificate& certificate) {
    const QString hex = QString::fromStdString(ortavia::course::fingerprintOf(certificate.toDer())).toUpper();
    QStringList pairs;
    for (qsizetype i = 0; i < hex.size(); i += 2)
        pairs << hex.mid(i, 2);
    return pairs.join(QLatin1Char(':'));
}

// The key and certificate of DIR/.server/, made with the openssl command when missing. The folder
// is the server's alone (0700), the key file 0600.
std::optional<QString> makeOwnCertificate(const QString& folder, QString& certPath, QString& keyPath) {
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
        return QStringLiteral("не удалось создать папку \"%1\".").arg(folder);
    certPath = folder + QStringLiteral("/cert.pem");
    keyPath = folder + QStringLiteral("/key.pem");
    if (QFile::exists(certPath) && QFile::exists(keyPath))
        return std::nullopt;
    QProcess openssl;
    openssl.start(
        QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"),
         QStringLiteral("/CN=ortavia-server"), QStringLiteral("-keyout"), keyPath + QStringLiteral(".new"),
         QStringLiteral("-out"), certPath + QStringLiteral(".new")});
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0)
        return QStringLiteral("не удалось создать сертификат командой openssl (пакет openssl): %1")
            .arg(QString::fromLocal8Bit(openssl.readAllStandardError()).trimmed());
    ::chmod(QFile::encodeName(keyPath + QStringLiteral(".new")).constData(), 0600);
    // The key first, then the certificate: a certificate in place always has its key.
    if (std::rename(QFile::encodeName(keyPath + QStringLiteral(".new")).constData(),
                    QFile::encodeName(keyPath).constData()) != 0 ||
        std::rename(QFile::encodeName(certPath + QStringLiteral(".new")).constData(),
                    QFile::encodeName(certPath).constData()) != 0)
        return QStringLiteral("не удалось записать сертификат в \"%1\".").arg(folder);
    return std::nullopt;
}

struct Listen {
    QString host;
    QHostAddress address;
    quint16 port = 0;
};

// ADDRESS:PORT (an IPv6 address in brackets), or nullopt.
std::optional<Listen> listenOf(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const int port = colon < 0 ? -1 : text.mid(colon + 1).toInt(&portOk);
    QString host = colon < 0 ? QString() : text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    const QHostAddress address(host);
    if (!portOk || port < 0 || port > 65535 || address.isNull())
        return std::nullopt;
    return Listen{host, address, static_cast<quint16>(port)};
}

// Why a value of the settings file cannot serve, or nullopt.
std::optional<QString> valueRefusal(const QString& key, const QString& value) {
    if (key.endsWith(QLatin1String("-timeout"))) {
        bool ok = false;
        if (value.toInt(&ok) < 1 || !ok)
            return QStringLiteral("«%1» должно быть целым числом секунд больше нуля, а не «%2».")
                .arg(key, value);
    } else if (key == QLatin1String("listen")) {
        if (!listenOf(value))
            return QStringLiteral("адрес «%1» не вида АДРЕС:ПОРТ (например 0.0.0.0:8443).").arg(value);
    } else if (key == QLatin1String("course")) {
        if (!QFileInfo(value + QStringLiteral("/data")).isDir())
            return QStringLiteral("«%1» — не папка курса (в ней нет папки data; папку курса создаёт команда "
                                  "«ortavia-tests init ПАПКА»).")
                .arg(value);
    } else if (!QFileInfo(value).isFile()) {
        return QStringLiteral("нет файла «%1».").arg(value);
    }
    return std::nullopt;
}

// The "key = value" lines of a settings file: each value as written (blanks around it dropped;
// an empty value means "not set"), a line starting with '#' or ';' a comment. The message
// (naming the file and the line) in problem when the file cannot be read or a line is wrong.
std::map<QString, QString> readConfig(const QString& path, QString* problem) {
    static const QStringList known{QStringLiteral("course"),          QStringLiteral("listen"),
                                   QStringLiteral("tls-cert"),        QStringLiteral("tls-key"),
                                   QStringLiteral("session-timeout"), QStringLiteral("run-timeout")};
    std::map<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("файл настройки \"%1\" не прочитан: %2.")
                       .arg(path, QFileInfo(path).isDir()
                                      ? QStringLiteral("это папка, а не файл")
                                      : QString::fromStdString(ortavia::atomicfile::reason(errno)));
        return values;
    }
    int number = 0;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = line.left(eq).trimmed();
        const auto at = [&](const QString& what) {
            return QStringLiteral("файл настройки \"%1\", строка %2: %3").arg(path).arg(number).arg(what);
        };
        if (eq < 0) {
            *problem = at(QStringLiteral("нет знака «=»; строка пишется как «параметр = значение»."));
            return values;
        }
        if (!known.contains(key)) {
            *problem = at(QStringLiteral("неизвестный параметр «%1»; известны: %2.")
                              .arg(key, known.join(QStringLiteral(", "))));
            return values;
        }
        if (values.count(key)) {
            *problem = at(QStringLiteral("параметр «%1» указан второй раз.").arg(key));
            return values;
        }
        const QString value = line.mid(eq + 1).trimmed();
        if (value.isEmpty())
            continue;
        if (const std::optional<QString> refusal = valueRefusal(key, value)) {
            *problem = at(*refusal);
            return values;
        }
        values[key] = value;
    }
    return values;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ortavia-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORTAVIA_VERSION));

    QString course, listen, certPath, keyPath, config;
    std::optional<int> sessionTimeout, runTimeout;
    bool fingerprint = false;
    ortavia::server::Timeouts timeouts;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--help")) {
            std::cout << kUsage;
            return kOk;
        } else if (a == QLatin1String("--version")) {
            std::cout << "ortavia-server " << ORTAVIA_VERSION << '\n';
            return kOk;
        } else if (a == QLatin1String("--fingerprint")) {
            fingerprint = true;
        } else if (hasValue && a == QLatin1String("--config")) {
            config = args[++i];
        } else if (hasValue && a == QLatin1String("--course")) {
            course = args[++i];
        } else if (hasValue && a == QLatin1String("--listen")) {
            listen = args[++i];
        } else if (hasValue && a == QLatin1String("--tls-cert")) {
            certPath = args[++i];
        } else if (hasValue && a == QLatin1String("--tls-key")) {
            keyPath = args[++i];
        } else if (hasValue &&
                   (a == QLatin1String("--session-timeout") || a == QLatin1String("--run-timeout"))) {
            bool ok = false;
            const int seconds = args[++i].toInt(&ok);
            if (!ok || seconds < 1) {
                std::cerr << kUsage;
                return kWrongCall;
            }
            (a == QLatin1String("--session-timeout") ? sessionTimeout : runTimeout) = seconds;
        } else {
            std::cerr << "ortavia-server: неизвестный аргумент \"" << a.toStdString() << "\".\n" << kUsage;
            return kWrongCall;
        }
    }
    // The settings file fills what the command line leaves unsaid.
    if (!config.isEmpty() || course.isEmpty()) {
        const QString path = config.isEmpty() ? kDefaultConfig : config;
        QString problem;
        const std::map<QString, QString> values = readConfig(path, &problem);
        if (!problem.isEmpty())
            return fail(problem);
        const auto fill = [&](QString& option, const char* key) {
            if (option.isEmpty() && values.count(QLatin1String(key)))
                option = values.at(QLatin1String(key));
        };
        fill(course, "course");
        fill(listen, "listen");
        fill(certPath, "tls-cert");
        fill(keyPath, "tls-key");
        if (!sessionTimeout && values.count(QStringLiteral("session-timeout")))
            sessionTimeout = values.at(QStringLiteral("session-timeout")).toInt();
        if (!runTimeout && values.count(QStringLiteral("run-timeout")))
            runTimeout = values.at(QStringLiteral("run-timeout")).toInt();
        if (course.isEmpty())
            return fail(
                QStringLiteral("файл настройки \"%1\": не указана папка курса (строка «course = ПАПКА»).")
                    .arg(path));
    }
    if (listen.isEmpty())
        listen = QStringLiteral("0.0.0.0:8443");
    if (sessionTimeout)
        timeouts.sessionIdle = std::chrono::seconds(*sessionTimeout);
    if (runTimeout)
        timeouts.runIdle = std::chrono::seconds(*runTimeout);
    if (course.isEmpty() ||
        (certPath.isEmpty() != keyPath.isEmpty() && !(fingerprint && keyPath.isEmpty()))) {
        std::cerr << kUsage;
        return kWrongCall;
    }
    const QString folder = QDir(course).absolutePath();
    if (!QFileInfo(folder + QStringLiteral("/data")).isDir())
        return fail(QStringLiteral("\"%1\" — не папка курса (в ней нет папки data).").arg(folder));
    if (certPath.isEmpty())
        if (const auto problem = makeOwnCertificate(folder + QStringLiteral("/.server"), certPath, keyPath))
            return fail(*problem);

    QFile certFile(certPath), keyFile(keyPath);
    if (!certFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("не удалось прочитать сертификат \"%1\".").arg(certPath));
    const QSslCertificate certificate(&certFile, QSsl::Pem);
    if (certificate.isNull())
        return fail(QStringLiteral("\"%1\" — не сертификат PEM.").arg(certPath));
    if (fingerprint) {
        std::cout << shownFingerprint(certificate).toStdString() << '\n';
        return kOk;
    }
    if (!keyFile.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("не удалось прочитать ключ \"%1\".").arg(keyPath));
    const QByteArray keyBytes = keyFile.readAll();
    QSslKey key(keyBytes, QSsl::Ec, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyBytes, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        return fail(QStringLiteral("\"%1\" — не ключ PEM (EC или RSA).").arg(keyPath));

    const std::optional<Listen> where = listenOf(listen);
    if (!where) {
        std::cerr << "ortavia-server: адрес \"" << listen.toStdString() << "\" не вида АДРЕС:ПОРТ.\n"
                  << kUsage;
        return kWrongCall;
    }

    // The course folder is the current directory of every core function from here on.
    if (!QDir::setCurrent(folder))
        return fail(QStringLiteral("не удалось перейти в папку \"%1\".").arg(folder));

    // The sessions of the last start come back here (their records in .server/sessions.log).
    std::unique_ptr<ortavia::server::LabServer> server;
    try {
        server = std::make_unique<ortavia::server::LabServer>(timeouts);
    } catch (const std::exception& e) {
        return fail(QString::fromStdString(e.what()));
    }
    // Only HTTPS: the TLS set-up comes before the port is opened.
    server->http().sslSetup(certificate, key, QSsl::TlsV1_2OrLater);
    const quint16 bound = server->http().listen(where->address, where->port);
    if (bound == 0)
        return fail(
            QStringLiteral("не удалось открыть порт %1 на адресе %2.").arg(where->port).arg(where->host));
    std::cout << "ortavia-server: https://" << where->host.toStdString() << ':' << bound << "/ курс "
              << folder.toStdString() << ", отпечаток SHA-256 " << shownFingerprint(certificate).toStdString()
              << std::endl;
    return app.exec();
}
