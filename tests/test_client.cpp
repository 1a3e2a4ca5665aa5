// The lab server's client: the same calls on the course folder and on a real ortavia-server give
// the same answers and leave the same files; an answer outlives a lost connection and is counted
// once; a wrong fingerprint or an unreachable server is told with the address; the viewer loads the
// server's pages through the client.
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextEdit>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "course/files_course.h"
#include "course/server_course.h"
#include "reports/class_monitor_form.h"
#include "store/codepage.h"
#include "store/error.h"
#include "support/harness.h"
#include "support/lab_server.h"
#include "support/modes.h"
#include "testing/notation.h"
#include "testing/testing.h"
#include "ui/document_scheme.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QByteArray kSettings = "admin|Adm1n|journal.txt\r\n";

QString u(std::string_view codePage) {
    return QString::fromStdString(ortavia::cp::toUtf8(codePage));
}

QString shown(const testing::ShownQuestion& q) {
    QStringList answers;
    for (const std::string& a : q.answers)
        answers << u(a);
    return QStringLiteral("%1/%2 %3 [%4]").arg(q.number).arg(q.count).arg(u(q.text), answers.join(u8"|"));
}

QString shown(const course::Grades& g) {
    QStringList out;
    for (const std::uint8_t v : g)
        out << QString::number(v);
    return out.join(QLatin1Char(','));
}

int rightOf(int question) {
    return std::stoi(testing::rightAnswer("test1", question));
}

using Make = std::function<std::unique_ptr<course::Course>()>;

// The calls the windows make in two runs of the program (a student's and the administrator's),
// each answer written down as text.
QStringList script(const Make& make) {
    QStringList out;
    std::unique_ptr<course::Course> session = make();
    course::Course* current = session.get();
    const auto c = [&current]() -> course::Course& { return *current; };
    const auto call = [&out](const QString& what, const std::function<QString()>& f) {
        try {
            out << what + QStringLiteral(": ") + f();
        } catch (const Error& e) {
            out << what + QStringLiteral(" Error: ") + QString::fromUtf8(e.what());
        }
    };
    const auto refusal = [](const std::optional<std::string>& r) {
        return r ? QString::fromStdString(*r) : QStringLiteral("ok");
    };
    const auto signIn = [&](const char* name, const char* password) {
        call(QStringLiteral("signIn %1").arg(QString::fromUtf8(name)), [&] {
            const course::SignInResult r = c().signIn(testsupport::cp(name), testsupport::cp(password));
            return QStringLiteral("%1 %2 %3")
                .arg(int(r.role))
                .arg(QString::fromStdString(r.refusal), shown(r.grades));
        });
    };
    for (const auto& [name, password] :
         {std::pair{"Айгүл", "pw1"}, {"Айгүл", "pw9"}, {"Бекзат", "pw2"}, {"Ерлан", ""}, {"admin", "x"}})
        call(QStringLiteral("register %1").arg(QString::fromUtf8(name)),
             [&] { return refusal(c().registerUser(testsupport::cp(name), testsupport::cp(password))); });
    signIn("Айгүл", "wrong");
    signIn("Айгүл", "pw1");
    call("start", [&] { return shown(c().startRun("test1")); });
    // Nine right answers, the first sent twice, one for a question not yet asked.
    const auto answer = [&](int question, int place) {
        call(QStringLiteral("answer %1 %2").arg(question).arg(place), [&] {
            const course::Step s = c().answer(question, place);
            return (s.next ? shown(*s.next) : QString()) +
                   (s.end
                        ? QStringLiteral("end %1 %2/%3").arg(s.end->grade).arg(s.end->right).arg(s.end->count)
                        : QString()) +
                   QString::fromStdString(s.answerLogProblem);
        });
    };
    answer(1, rightOf(1));
    answer(1, rightOf(1));
    answer(5, 1);
    for (int q = 2; q <= 12; ++q)
        answer(q, q <= 9 ? rightOf(q) : rightOf(q) % 5 + 1);
    call("grades", [&] { return shown(c().grades()); });
    // Question 11 names a figure, test 8's items another: each is where the windows look for it.
    const auto figure = [&](const char* name) {
        QFile f(testing::notation::figurePath(c().figureFolder(), QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly)
                   ? QString::fromLatin1(
                         QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex())
                   : QStringLiteral("missing");
    };
    call("run's figure", [&] { return figure("vt-graph.svg"); });
    call("start test2", [&] { return shown(c().startRun("test2")); });
    c().abandonRun();
    c().signOut();
    session = make();
    current = session.get();
    call("password", [&] {
        return QStringLiteral("%1 %2 %3")
            .arg(c().passwordMatches(testsupport::cp("Бекзат"), "x"))
            .arg(c().passwordMatches(testsupport::cp("Бекзат"), "pw2"))
            .arg(c().deleteUser(testsupport::cp("Бекзат"), "x"));
    });
    call("delete", [&] { return QString::number(c().deleteUser(testsupport::cp("Бекзат"), "pw2")); });
    signIn("admin", "Adm1n");
    call("users", [&] {
        QStringList names;
        for (const std::string& n : c().userList())
            names << u(n) + QString::number(c().hasRecord(n));
        return names.join(QLatin1Char(' ')) + QString::number(c().hasRecord(testsupport::cp("Бекзат")));
    });
    call("stored", [&] {
        return u(c().storedValues(testsupport::cp("Айгүл"))[0]) +
               shown(c().pickUser(testsupport::cp("Айгүл")));
    });
    call("settings", [&] {
        const accounts::Settings s = c().settings();
        return u(s.login) + u(s.journal) +
               refusal(c().writeSettings({testsupport::cp("Айгүл"), {}, "journal.txt"}, {})) +
               refusal(c().writeSettings({"teacher", {}, "journal.txt"}, std::nullopt));
    });
    call("journal", [&] {
        QStringList lines;
        for (const std::string& l : c().journalLines())
            lines << u(l).replace(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d")),
                                  QStringLiteral("T"));
        return lines.join(QLatin1Char('\n'));
    });
    call("overview", [&] {
        QStringList rows;
        for (const reports::StudentRow& r : c().classTable().rows)
            rows << QStringLiteral("%1 %2 %3 %4 %5 %6")
                        .arg(u(r.name), u(r.grades[0]))
                        .arg(r.values[0].value_or(-1))
                        .arg(r.recorded)
                        .arg(r.passed)
                        .arg(r.faulty);
        return rows.join(QLatin1Char(';'));
    });
    call("statistics", [&] {
        const reports::Statistics s = c().statistics();
        QString t =
            QStringLiteral("%1 %2 %3 %4 %5").arg(s.students).arg(s.journal.read).arg(s.journal.skipped);
        t = t.arg(s.journalFound).arg(s.otherAttempts);
        for (const reports::TestStatistics& k : s.tests)
            t += QStringLiteral(" %1/%2/%3/%4/%5")
                     .arg(k.byGrade[4])
                     .arg(k.other)
                     .arg(k.attempts)
                     .arg(k.took())
                     .arg(k.meanGrade().value_or(-1));
        for (const reports::DayAttempts& d : s.days)
            t += QStringLiteral(" %1=%2%3").arg(d.text).arg(d.attempts).arg(d.date.isValid());
        return t;
    });
    call("items", [&] {
        const reports::ItemAnalysis a = c().itemAnalysis();
        QString t = QStringLiteral("%1 %2").arg(a.lines).arg(a.skipped);
        for (const reports::TestItems& k : a.tests)
            for (const reports::ItemFigures& i : k.items)
                t += QStringLiteral(" %1.%2:%3/%4/%5/%6")
                         .arg(u(k.test))
                         .arg(i.question)
                         .arg(i.right)
                         .arg(i.answers)
                         .arg(i.chosen[0])
                         .arg(i.discrimination.value_or(-9));
        return t;
    });
    call("options", [&] {
        const testing::Options before = c().options();
        c().writeOptions({true, 5});
        const testing::Options after = c().options();
        return QStringLiteral("%1 %2 %3 %4")
            .arg(before.shuffleAnswers)
            .arg(before.draw)
            .arg(after.shuffleAnswers)
            .arg(after.draw);
    });
    call("items' figure", [&] {
        const std::size_t items = c().testItems(8).size();
        return QString::number(items) + figure("circuit.svg");
    });
    call("install", [&] {
        const course::Installed i = c().installTest(3, "Сколько?\nA) один\nB) два\nANSWER: B\n");
        return QStringLiteral("%1 %2 %3")
            .arg(i.questions)
            .arg(QFileInfo(QString::fromStdString(i.path)).fileName())
            .arg(i.backup.empty());
    });
    call("install bad", [&] { return QString::number(c().installTest(4, "нет вопросов\n").questions); });
    call("test tools", [&] {
        QString t;
        for (const testing::authoring::Item& i : c().testItems(3))
            t += u(i.text) + QString::number(i.right) + u(i.answers.back());
        const course::TestFile file = c().testFile(5);
        const course::Installed i =
            c().installTestFile(5, testing::authoring::testFileContent(c().testItems(3)));
        const std::vector<std::string> written =
            c().installFigures({{"f.png", std::string("png")}}, "/elsewhere");
        return t + QFileInfo(QString::fromStdString(file.shown)).fileName() +
               QString::number(file.installed) + QFileInfo(QString::fromStdString(i.path)).fileName() +
               QString::number(written.size());
    });
    // A figure already in the course, one nowhere, one that is no plain name.
    for (const testing::authoring::Figure& figure : std::vector<testing::authoring::Figure>{
             {"f.png", std::nullopt}, {"g.png", std::nullopt}, {"../f.png", std::string("x")}})
        call("figure", [&] { return QString::number(c().installFigures({figure}, "/elsewhere").size()); });
    call("documents", [&] {
        const std::optional<std::string> page = c().document("\\data\\info\\lig-1.html");
        return QStringLiteral("%1 %2 %3")
            .arg(page ? QString::fromLatin1(QCryptographicHash::hash(QByteArray::fromStdString(*page),
                                                                     QCryptographicHash::Sha256)
                                                .toHex())
                      : QStringLiteral("none"))
            .arg(c().document("\\users.ini").has_value())
            .arg(c().document("\\data\\tests\\test1.ini").has_value());
    });
    call("deployment", [&] {
        const deployment::Reading r = c().deploymentTexts();
        return QString::fromStdString(r.texts.institution + r.texts.year) +
               QString::number(r.problems.size());
    });
    call("remove", [&] {
        c().removeUser(testsupport::cp("Айгүл"));
        return QString::number(c().userList().size());
    });
    c().signOut();
    return out;
}

// What the script leaves in a course folder: the files, the clock's times taken out.
QStringList traces(const CourseFolder& course) {
    QStringList out;
    for (const char* file :
         {"users", "users.ini", "journal.txt", "answers.log", "data/info/tumb.db", "data/info/options.ini",
          "data/tests/test3.ini", "data/tests/test5.ini", "data/tests/img/f.png"})
        out << QString::fromLatin1(file) + QStringLiteral(": ") +
                   course.lines(QString::fromLatin1(file))
                       .join(QLatin1Char('\n'))
                       .replace(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d")),
                                QStringLiteral("T"));
    return out;
}

// A link between the client and the server that can fail: it refuses connections, or takes a
// request to the server and drops the answer, as a network that goes away does.
class Link : public QTcpServer {
public:
    enum class Mode { Open, Refuse, DropAnswer };
    Mode mode = Mode::Open;
    int dropped = 0;
    explicit Link(int serverPort) : serverPort_(serverPort) {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = nextPendingConnection())
                pass(client);
        });
    }
    int port() const { return serverPort(); }
    // Refuses from now on, and the connections there are go down.
    void cut() {
        mode = Mode::Refuse;
        for (QTcpSocket* client : findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly))
            client->abort();
    }

private:
    void pass(QTcpSocket* client) {
        if (mode == Mode::Refuse) {
            client->abort();
            client->deleteLater();
            return;
        }
        auto* server = new QTcpSocket(client);
        // Only a connection made before the answer is to be dropped carries a request then (a new
        // one begins with the TLS handshake).
        auto sent = std::make_shared<bool>(false);
        const bool old = mode == Mode::Open;
        server->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(serverPort_));
        connect(client, &QTcpSocket::readyRead, server, [this, client, server, sent, old] {
            if (server->state() != QAbstractSocket::ConnectedState)
                return;
            *sent = old && mode == Mode::DropAnswer;
            server->write(client->readAll());
        });
        connect(server, &QTcpSocket::connected, server,
                [client, server] { server->write(client->readAll()); });
        connect(server, &QTcpSocket::readyRead, client, [this, client, server, sent] {
            const QByteArray bytes = server->readAll();
            if (*sent) {
                mode = Mode::Refuse;
                ++dropped;
                *sent = false;
                client->abort();
                return;
            }
            client->write(bytes);
        });
        connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        connect(server, &QTcpSocket::errorOccurred, client, &QTcpSocket::abort);
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
    int serverPort_;
};

} // namespace

class TestClient : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::dialogs::resetTestState(); }

    void sameAsTheCourseFolder() {
        CourseFolder onServer(Contents::Everything);
        onServer.write(QStringLiteral("data/info/tumb.db"), kSettings);
        LabServerProcess server(onServer.path());
        CourseFolder local(Contents::Everything);
        local.write(QStringLiteral("data/info/tumb.db"), kSettings);
        QStringList expected = script([] { return std::make_unique<course::FilesCourse>(); });
        QStringList got = script([&server] {
            return std::make_unique<course::ServerCourse>(
                QStringLiteral("127.0.0.1"), static_cast<quint16>(server.port()), server.fingerprint());
        });
        // Messages name the course folder, which is another one on the server.
        expected.replaceInStrings(local.path(), QStringLiteral("<course>"));
        got.replaceInStrings(onServer.path(), QStringLiteral("<course>"));
        QCOMPARE(got.size(), expected.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QCOMPARE(got[i], expected[i]);
        const QStringList left = traces(local), leftOnServer = traces(onServer);
        for (qsizetype i = 0; i < left.size(); ++i)
            QCOMPARE(leftOnServer[i], left[i]);
        QVERIFY(left[2].contains(QStringLiteral("test1 | 4"))); // the run was graded
        // The administrator's calls refuse a student.
        course::ServerCourse student(QStringLiteral("127.0.0.1"), static_cast<quint16>(server.port()),
                                     server.fingerprint());
        QCOMPARE(student.registerUser(testsupport::cp("Самат"), "pw"), std::nullopt);
        QCOMPARE(student.signIn(testsupport::cp("Самат"), "pw").role, course::Role::Student);
        const std::vector<std::function<void()>> administrators = {
            [&] { student.testItems(1); },
            [&] { student.testFile(1); },
            [&] { student.installTestFile(1, "x"); },
            [&] {
                student.installFigures({{"f.png", std::string("x")}}, "/");
            },
            [&] { student.statistics(); },
            [&] { student.monitor(); },
            [&] { student.pickUser(testsupport::cp("Самат")); }};
        for (const auto& call : administrators)
            QVERIFY_THROWS_EXCEPTION(Error, call());
        QCOMPARE(student.userList(), std::vector<std::string>{});
        QCOMPARE(student.settings().login, std::string());
    }

    // A record that cannot be written at the end of a run: the end is told all the same, with the
    // problem, on the course folder and on the server alike.
    void recordProblemAtTheEnd() {
        for (const bool onServer : {false, true}) {
            CourseFolder course(Contents::SettingsAndTests);
            plainTest1(course);
            std::unique_ptr<LabServerProcess> server;
            std::unique_ptr<course::Course> c = std::make_unique<course::FilesCourse>();
            if (onServer) {
                server = std::make_unique<LabServerProcess>(course.path());
                c = std::make_unique<course::ServerCourse>(
                    QStringLiteral("127.0.0.1"), static_cast<quint16>(server->port()), server->fingerprint());
            }
            c->registerUser(testsupport::cp("Жанар"), "pw");
            c->signIn(testsupport::cp("Жанар"), "pw");
            c->startRun("test1");
            for (int q = 1; q <= 11; ++q)
                c->answer(q, 1);
            // The record file's place taken by a folder: no write of it can succeed.
            QVERIFY(QFile::rename(course.file(QStringLiteral("users.ini")),
                                  course.file(QStringLiteral("kept.ini"))));
            QVERIFY(QDir().mkdir(course.file(QStringLiteral("users.ini"))));
            const course::Step end = c->answer(12, 1);
            QVERIFY(end.end);
            QCOMPARE(end.end->grade, 5);
            QVERIFY2(!end.recordProblem.empty(), onServer ? "server" : "files");
            QCOMPARE(c->grades()[0], 5);
            QCOMPARE(course.lines(QStringLiteral("journal.txt")).size(), 1);
        }
    }

    // An answer outlives a lost connection and counts once: question 3's answer is taken by the
    // server and its reply lost; the server is stopped before question 7's answer and started again.
    void answerOutlivesLostConnection() {
        CourseFolder course(Contents::SettingsAndTests);
        auto server = std::make_unique<LabServerProcess>(course.path());
        const int port = server->port();
        Link link(port);
        course::ServerCourse client(QStringLiteral("127.0.0.1"), static_cast<quint16>(link.port()),
                                    server->fingerprint());
        client.retryPause = std::chrono::milliseconds(200);
        QList<bool> told;
        client.onConnectionLost = [&told](bool lost) { told << lost; };
        QCOMPARE(client.registerUser(testsupport::cp("Жанар"), "pw"), std::nullopt);
        client.signIn(testsupport::cp("Жанар"), "pw");
        client.startRun("test1");
        for (int q = 1; q <= 11; ++q) {
            if (q == 3) {
                link.mode = Link::Mode::DropAnswer;
                QTimer::singleShot(1000, &link, [&link] { link.mode = Link::Mode::Open; });
            } else if (q == 7) {
                server.reset();
                QTimer::singleShot(1000,
                                   [&] { server = std::make_unique<LabServerProcess>(course.path(), port); });
            }
            const course::Step step = client.answer(q, rightOf(q));
            QVERIFY(step.next);
            QCOMPARE(step.next->number, q + 1);
        }
        QCOMPARE(link.dropped, 1);
        QCOMPARE(told, (QList<bool>{true, false, true, false}));
        const course::Step end = client.answer(12, rightOf(12) % 5 + 1);
        QVERIFY(end.end);
        QCOMPARE(end.end->right, 11);
        QCOMPARE(course.lines(QStringLiteral("answers.log")).size(), 12);
        QCOMPARE(course.lines(QStringLiteral("journal.txt")).size(), 1);
    }

    void wrongFingerprintOrNoServer() {
        CourseFolder course(Contents::SettingsAndTests);
        LabServerProcess server(course.path());
        std::string wrong = server.fingerprint();
        wrong[0] = wrong[0] == 'A' ? 'B' : 'A';
        course::ServerCourse fooled(QStringLiteral("127.0.0.1"), static_cast<quint16>(server.port()), wrong);
        try {
            fooled.registerUser(testsupport::cp("Фальш"), "pw");
            QFAIL("registered through a server of another certificate");
        } catch (const Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("не совпадает с отпечатком")),
                     e.what());
        }
        QVERIFY(!course.read(QStringLiteral("users")).contains(testsupport::cp("Фальш").c_str()));
        // At start: the box names the address, and no course is made.
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const QString nobody = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
        for (const auto& [address, fingerprint, told] :
             {std::tuple{server.address(), wrong, QStringLiteral("не совпадает с отпечатком")},
              {nobody, server.fingerprint(), QStringLiteral("Нет связи с сервером ") + nobody},
              {QStringLiteral("127.0.0.1:99999"), server.fingerprint(), QStringLiteral("не вида АДРЕС")}}) {
            ui::dialogs::resetTestState();
            QVERIFY(!ui::connectToServer(address, fingerprint));
            QCOMPARE(boxCount(), 1);
            QVERIFY2(lastBoxText().contains(told), qPrintable(lastBoxText()));
            QVERIFY2(lastBoxText().contains(address), qPrintable(lastBoxText()));
        }
        QVERIFY(ui::connectToServer(server.address(), server.fingerprint()));
    }

    // A question's figure is drawn on the test screen in both modes (in server mode from the
    // server: the program's folder is empty).
    void figureOnTheTestScreen() {
        for (const Mode mode : {Mode::Files, Mode::Server}) {
            const ModeCourse course(mode);
            const std::unique_ptr<Running> run = course.start();
            run->registerUser(QStringLiteral("Жанар"), QStringLiteral("pw"));
            run->signIn(QStringLiteral("Жанар"), QStringLiteral("pw"));
            run->trigger("test1");
            for (int q = 1; q <= 10; ++q)
                run->answer(1);
            QCOMPARE(run->control<QLabel>("LabelCounter")->text(), QStringLiteral("11 из 12"));
            const QString html = run->control<QTextEdit>("Memo1")->toHtml();
            QVERIFY2(html.contains(QStringLiteral("<img")) && !html.contains(QStringLiteral("рисунок:")),
                     qPrintable(html));
        }
    }

    // The test screen keeps its question while the answer waits for the connection, and says so.
    void testScreenWaitsForTheConnection() {
        CourseFolder course(Contents::SettingsAndTests);
        plainTest1(course);
        LabServerProcess server(course.path());
        Link link(server.port());
        auto client = std::make_unique<course::ServerCourse>(
            QStringLiteral("127.0.0.1"), static_cast<quint16>(link.port()), server.fingerprint());
        client->retryPause = std::chrono::milliseconds(200);
        CourseFolder empty(Contents::Nothing);
        Running run(std::move(client));
        run.registerUser(QStringLiteral("Жанар"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Жанар"), QStringLiteral("pw"));
        run.trigger("test1");
        run.answer(1);
        auto* notice = run.control<QLabel>("LabelLink");
        QVERIFY(!notice->isVisibleTo(run.main()));
        link.cut();
        QString seen;
        QTimer::singleShot(600, &link, [&] {
            // Seen, not merely visible: inside the window whatever the screen's scale.
            const QRect where(notice->mapTo(run.main(), QPoint()), notice->size());
            seen = QStringLiteral("%1 %2")
                       .arg(notice->isVisibleTo(run.main()) && run.main()->rect().contains(where))
                       .arg(run.control<QLabel>("LabelCounter")->text());
            link.mode = Link::Mode::Open;
        });
        run.answer(1);
        QCOMPARE(seen, QStringLiteral("1 2 из 12"));
        QCOMPARE(notice->text(), QStringLiteral("Нет связи с сервером, ответ будет отправлен повторно…"));
        QVERIFY(!notice->isVisibleTo(run.main()));
        QCOMPARE(run.control<QLabel>("LabelCounter")->text(), QStringLiteral("3 из 12"));
        QCOMPARE(course.lines(QStringLiteral("answers.log")).size(), 2);
    }

    // The teacher's live view: who is in, where, on which question, and the grade as a run ends;
    // the course folder has none.
    void classMonitor() {
        {
            CourseFolder folder;
            Running run;
            run.signInAdmin();
            QVERIFY(!run.action("NMon")->isVisible());
            run.trigger("NMon");
            QVERIFY2(lastBoxText().contains(QStringLiteral("только с сервером")), qPrintable(lastBoxText()));
            QVERIFY(!run.main()->findChild<ui::ClassMonitor*>());
        }
        const ModeCourse course(Mode::Server, plainTest1);
        course::ServerCourse student(QStringLiteral("127.0.0.1"),
                                     static_cast<quint16>(course.server()->port()),
                                     course.server()->fingerprint());
        student.registerUser(testsupport::cp("Айгүл"), "pw");
        student.signIn(testsupport::cp("Айгүл"), "pw");
        student.startRun("test1");
        student.answer(1, 1);
        student.answer(2, 1);
        const std::unique_ptr<Running> run = course.start();
        run->trigger("NMon"); // nobody signed in: nothing
        QVERIFY(!run->main()->findChild<ui::ClassMonitor*>());
        run->signInAdmin();
        QVERIFY(run->action("NMon")->isVisible());
        run->trigger("NMon");
        auto* monitor = run->main()->findChild<ui::ClassMonitor*>(QStringLiteral("ClassMonitor"));
        QVERIFY(monitor && monitor->isVisible());
        const auto* now = monitor->findChild<QTableWidget*>(QStringLiteral("GridMon"));
        const auto row = [](const QTableWidget* grid, int r) {
            QStringList cells;
            for (int c = 0; c < grid->columnCount(); ++c)
                cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
            return cells.join(QLatin1Char('|'));
        };
        QCOMPARE(now->rowCount(), 2);
        QStringList rows{row(now, 0), row(now, 1)};
        rows.sort();
        QCOMPARE(rows, (QStringList{QStringLiteral("admin (администратор)|127.0.0.1|||"),
                                    QStringLiteral("Айгүл|127.0.0.1|test1|вопрос 3 из 12|")}));
        for (int q = 3; q <= 12; ++q)
            student.answer(q, 1);
        // The next refresh shows the end.
        const auto* ended = monitor->findChild<QTableWidget*>(QStringLiteral("GridMonEnded"));
        QTRY_COMPARE_WITH_TIMEOUT(ended->rowCount(), 1, 2 * ui::ClassMonitor::kRefreshMs);
        QVERIFY2(row(ended, 0).endsWith(QStringLiteral("|Айгүл|test1|5")), qPrintable(row(ended, 0)));
        QVERIFY(row(now, 0).contains(QStringLiteral("5 (test1)")) ||
                row(now, 1).contains(QStringLiteral("5 (test1)")));
    }

    void addresses() {
        using A = std::optional<std::pair<QString, quint16>>;
        for (const auto& [typed, parsed] :
             {std::pair{QStringLiteral("lab"), A{{QStringLiteral("lab"), 8443}}},
              {QStringLiteral(" 10.0.0.5:9000 "), A{{QStringLiteral("10.0.0.5"), 9000}}},
              {QStringLiteral("[::1]:7"), A{{QStringLiteral("::1"), 7}}},
              {QStringLiteral("[::1]"), A{{QStringLiteral("::1"), 8443}}},
              {QStringLiteral("::1"), A{}},
              {QStringLiteral("lab:0"), A{}},
              {QStringLiteral("lab:70000"), A{}},
              {QStringLiteral("lab:x"), A{}},
              {QStringLiteral(":8443"), A{}},
              {QStringLiteral("lab/x"), A{}},
              {QStringLiteral("[lab]:1"), A{}}})
            QCOMPARE(course::ServerCourse::parseAddress(typed), parsed);
    }

    void viewerLoadsTheServersPages() {
        CourseFolder onServer(Contents::Everything);
        onServer.write(
            QStringLiteral("data/info/lig-1.html"),
            "<html><head><title>Page</title><link rel=stylesheet href='../css/x.css'></head>"
            "<body><img id=i src='../labs/p.png' onload='document.title=\"loaded\"'></body></html>");
        QImage picture(3, 3, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.save(onServer.file(QStringLiteral("data/labs/p.png")));
        LabServerProcess server(onServer.path());
        CourseFolder empty(Contents::Nothing);
        course::ServerCourse client(QStringLiteral("127.0.0.1"), static_cast<quint16>(server.port()),
                                    server.fingerprint());
        QWebEngineView view;
        ui::DocumentScheme scheme(view.page()->profile(), client);
        const QUrl url = client.documentUrl("\\data\\info\\lig-1.html");
        QCOMPARE(url.toString(), QStringLiteral("ortavia://course/data/info/lig-1.html"));
        QCOMPARE(course::ServerCourse::documentPathOf(url),
                 std::optional<std::string>("\\data\\info\\lig-1.html"));
        view.load(url);
        // The page and its picture (a relative link) both came through the client.
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), QStringLiteral("loaded"), 20000);
        QSignalSpy done(view.page(), &QWebEnginePage::loadFinished);
        view.load(client.documentUrl("\\data\\tests\\test1.ini"));
        QVERIFY(done.wait(20000));
        QCOMPARE(done.first().first().toBool(), false);
    }
};

ORTAVIA_TEST_MAIN(TestClient)
#include "test_client.moc"
