#pragma once
// The real ortavia-server of the build on a course folder, for the tests of its client.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

namespace ortavia::testsupport {

class LabServerProcess {
public:
    // Starts the server on the folder at 127.0.0.1:port (0: a free one) with the further options
    // given and waits for its first line.
    explicit LabServerProcess(const QString& folder, int port = 0, const QStringList& extra = {});
    ~LabServerProcess();
    void stop(); // ends it as the system's service manager does
    void kill(); // ends it at once (SIGKILL), as a power cut would end the process
    int port() const { return port_; }
    const std::string& fingerprint() const { return fingerprint_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

private:
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    std::string fingerprint_;
};

} // namespace ortavia::testsupport
