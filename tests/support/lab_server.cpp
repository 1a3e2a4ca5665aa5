#include "support/lab_server.h"

#include <QRegularExpression>

namespace ortavia::testsupport {

LabServerProcess::LabServerProcess(const QString& folder, int port, const QStringList& extra)
    : process_(std::make_unique<QProcess>()) {
    process_->setProgram(QStringLiteral(ORTAVIA_BINARY_DIR "/ortavia-server"));
    process_->setArguments(QStringList{QStringLiteral("--course"), folder, QStringLiteral("--listen"),
                                       QStringLiteral("127.0.0.1:%1").arg(port)} +
                           extra);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_->start();
    if (!process_->waitForStarted() || !process_->waitForReadyRead(30000))
        qFatal("ortavia-server did not start");
    const QString line = QString::fromUtf8(process_->readLine());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral(":(\\d+)/.*SHA-256 ([0-9A-F:]+)")).match(line);
    if (!m.hasMatch())
        qFatal("ortavia-server: %s", qPrintable(line));
    port_ = m.captured(1).toInt();
    fingerprint_ = m.captured(2).toStdString();
}

LabServerProcess::~LabServerProcess() {
    stop();
}

void LabServerProcess::stop() {
    if (process_->state() == QProcess::NotRunning)
        return;
    process_->terminate();
    if (!process_->waitForFinished(5000))
        process_->kill();
    process_->waitForFinished(5000);
}

void LabServerProcess::kill() {
    process_->kill();
    process_->waitForFinished(5000);
}

} // namespace ortavia::testsupport
