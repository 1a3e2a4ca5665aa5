#pragma once
// The lab server's client: every operation of the course is a request to ortavia-server over
// HTTPS with JSON, the server's certificate pinned to the fingerprint its administrator printed
// (ortavia-server --fingerprint). The calls wait for their answer, as reading the course folder
// does; while one waits, timers and painting go on and the user's input waits.
//
// What the server never gives a student (the user list, another's record, the settings) is an
// empty answer here until the administrator has signed in.
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QString>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <chrono>
#include <functional>
#include <memory>
#include <set>

#include "course/course.h"

namespace ortavia::course {

class ServerCourse : public Course {
public:
    static constexpr quint16 kDefaultPort = 8443;

    // The server at host:port whose certificate has the fingerprint (hex, any case, ':' or blanks
    // between the bytes). Nothing is sent yet.
    ServerCourse(QString host, quint16 port, std::string fingerprint);
    ~ServerCourse() override;

    // "HOST[:PORT]" as typed ("[::1]:8443" for an IPv6 address): nullopt when it is none.
    static std::optional<std::pair<QString, quint16>> parseAddress(const QString& typed);

    // The server as messages name it: "host:port".
    QString address() const;

    // Whether the server answers with the pinned certificate: throws Error naming the address when
    // it cannot be reached or its certificate is another one (nothing is sent to it then).
    void checkConnection();

    // Told while an answer waits for a lost connection (true, once) and when it has gone through
    // or has been given up (false).
    std::function<void(bool lost)> onConnectionLost;
    // How long one request may go without a byte, the pause between two sends of an answer, and
    // how long an answer is sent again before it is given up (the server has ended the run by then).
    std::chrono::milliseconds timeout{15000}, retryPause{1000}, giveUpAfter{30 * 60 * 1000};

    // The commands of topics the signed-in student may not open yet, lower case.
    const std::set<std::string>& locked() const { return locked_; }

    std::vector<std::string> userList() override;
    bool hasRecord(std::string_view name) override;
    std::array<std::string, 12> storedValues(std::string_view name) override;

    SignInResult signIn(std::string_view name, std::string_view password) override;
    std::optional<std::string> registerUser(std::string_view name, std::string_view password) override;
    bool passwordMatches(std::string_view name, std::string_view password) override;
    bool deleteUser(std::string_view name, std::string_view password) override;
    void removeUser(std::string_view name) override;
    Grades pickUser(std::string_view name) override;
    Grades grades() const override { return grades_; }
    Role role() const override { return role_; }
    void signOut() override;

    accounts::Settings settings() override;
    std::optional<std::string> writeSettings(const accounts::Settings& typed,
                                             const std::optional<std::string>& password) override;

    testing::ShownQuestion startRun(std::string_view testName) override;
    Step answer(int questionNumber, int place) override;
    void abandonRun() override;
    std::string optionsProblem() const override { return optionsProblem_; }

    std::vector<std::string> journalLines() override;
    reports::ClassTable classTable() override;
    reports::Statistics statistics(const Progress& progress = {}) override;
    reports::ItemAnalysis itemAnalysis() override;
    std::uint64_t localReadSize() override { return 0; } // read on the server

    testing::Options options() override;
    void writeOptions(const testing::Options& options) override;
    Installed installTest(int n, std::string_view sourceBytes) override;
    std::vector<testing::authoring::Item> testItems(int n) override;
    TestFile testFile(int n) override;
    Installed installTestFile(int n, std::string_view content) override;
    std::vector<std::string> installFigures(const std::vector<testing::authoring::Figure>& figures,
                                            std::string_view sourceFolder) override;

    QUrl documentUrl(std::string_view relativePath) override;
    std::optional<std::string> document(std::string_view relativePath) override;
    deployment::Reading deploymentTexts() override;

    std::optional<Monitor> monitor() override;
    QString figureFolder() override;

    // The scheme and host of documentUrl's addresses, and the document path (code page, '\'
    // separators) of such an address, or nullopt for any other.
    static constexpr const char* kScheme = "ortavia";
    static std::optional<std::string> documentPathOf(const QUrl& url);

private:
    struct Reply {
        int status = 0; // 0: no answer came
        bool wrongCertificate = false;
        QString failure; // the network's reason when no answer came
        QJsonObject body;
        QByteArray raw;
    };
    Reply send(const QString& path, const QUrlQuery& query, const std::optional<QJsonObject>& body);
    // The body of a 2xx answer; any other throws Error (the server's text, or the lost connection
    // named with the address).
    QJsonObject checked(const Reply& reply) const;
    QJsonObject get(const QString& path, const QUrlQuery& query = {});
    QJsonObject post(const QString& path, const QJsonObject& body = {});
    [[noreturn]] void noConnection(const Reply& reply) const;
    void takePerson(const QJsonObject& person);
    bool administrator() const { return role_ == Role::Administrator; }
    // Copies the figures the text (code page, in the notation) names that are not copied yet.
    void fetchFigures(std::string_view text);
    void fetchFigures(const testing::ShownQuestion& shown);

    QString host_;
    quint16 port_;
    std::string fingerprint_;
    QNetworkAccessManager network_;
    QByteArray token_;
    Role role_ = Role::None;
    Grades grades_{};
    std::set<std::string> locked_;
    std::string optionsProblem_;
    std::unique_ptr<QTemporaryDir> figures_; // made at the first figure
    std::set<QString> figuresFetched_;       // names copied or known to be missing
};

} // namespace ortavia::course
