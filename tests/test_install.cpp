// The installed program: "cmake --install" into a scratch prefix lays out the programs, the course
// template, the menu entry, the metainfo, the manual pages and the documents, and what it lays out
// works (version, init from the installed template, the lab launcher); "cpack -G DEB" builds a
// package whose fields and contents dpkg-deb shows. Both run the real tools on this build tree.
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <unistd.h>

namespace {

const QString kBuild = QStringLiteral(ORTAVIA_BINARY_DIR);

struct Run {
    int status;
    QString out, err;
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = {},
        const QString& folder = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, args);
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, program + QStringLiteral(" did not finish")};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString text(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeText(const QString& path, const QString& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content.toUtf8()) >= 0;
}

QStringList filesUnder(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The environment of a program started from a menu: no display, no test platform.
QProcessEnvironment noDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

// What both the scratch install and the package must hold, relative to the prefix.
const QStringList kLaidOut = {
    QStringLiteral("bin/ortavia"),
    QStringLiteral("bin/ortavia-tests"),
    QStringLiteral("libexec/ortavia/ortavia-start"),
    QStringLiteral("share/applications/org.ortavia.Ortavia.desktop"),
    QStringLiteral("share/icons/hicolor/scalable/apps/org.ortavia.Ortavia.svg"),
    QStringLiteral("share/metainfo/org.ortavia.Ortavia.metainfo.xml"),
    QStringLiteral("share/man/man1/ortavia.1.gz"),
    QStringLiteral("share/man/man1/ortavia-tests.1.gz"),
    QStringLiteral("share/doc/ortavia/README.md"),
    QStringLiteral("share/doc/ortavia/lab-guide.md"),
    QStringLiteral("share/doc/ortavia/LICENSE"),
    QStringLiteral("share/doc/ortavia/copyright"),
    QStringLiteral("share/doc/ortavia/examples/tests/test1.txt"),
    QStringLiteral("share/doc/ortavia/examples/tests/test10.txt"),
    QStringLiteral("share/ortavia/course/data/info/tumb.db"),
    QStringLiteral("share/ortavia/course/data/info/deployment.txt"),
    QStringLiteral("share/ortavia/course/data/help/sod.htm"),
    QStringLiteral("share/ortavia/course/data/tests/test1.ini"),
    QStringLiteral("share/ortavia/course/data/tests/test10.ini"),
};

// A course template holds no users, no user records, no journal and no plain question file.
void checkTemplateIsClean(const QStringList& templateFiles) {
    QVERIFY(!templateFiles.isEmpty());
    for (const QString& f : templateFiles) {
        QVERIFY2(f.startsWith(QLatin1String("data/")), qPrintable(f));
        QVERIFY2(!f.endsWith(QLatin1String(".txt")) || f == QLatin1String("data/info/deployment.txt"),
                 qPrintable(f));
        QVERIFY2(!f.endsWith(QLatin1String(".lock")), qPrintable(f));
    }
}

// What the server's part adds to the scratch install, relative to the prefix.
const QStringList kServerLaidOut = {
    QStringLiteral("bin/ortavia-server"),
    QStringLiteral("share/man/man1/ortavia-server.1.gz"),
    QStringLiteral("share/doc/ortavia-server/copyright"),
    QStringLiteral("etc/ortavia/server.conf"),
    QStringLiteral("lib/systemd/system/ortavia-server.service"),
};

// The server's unit: the program with its settings file, as the dedicated user, hardened.
void checkUnit(const QString& unit, const QString& program, const QString& conf) {
    const QString u = text(unit);
    for (const QString& line :
         {QStringLiteral("ExecStart=") + program + QStringLiteral(" --config ") + conf,
          QStringLiteral("User=ortavia"), QStringLiteral("NoNewPrivileges=yes"),
          QStringLiteral("ProtectSystem=strict"), QStringLiteral("ReadWritePaths=/srv/ortavia/course"),
          QStringLiteral("PrivateTmp=yes"), QStringLiteral("ProtectHome=yes"),
          QStringLiteral("CapabilityBoundingSet=")})
        QVERIFY2(u.contains(QLatin1Char('\n') + line + QLatin1Char('\n')), qPrintable(line));
}

// The launcher's refusals, each on stderr with exit 1: what the settings file or the folder it names
// is, told as it is. Run as an ordinary user, so that a file without read permission is unreadable.
void checkLauncherRefusals(const QString& launch, const QString& conf, const QString& course,
                           const QString& scratch) {
    const QString unreadable = scratch + QStringLiteral("/unreadable.conf");
    QVERIFY(writeText(unreadable, QStringLiteral("course = ") + course + '\n'));
    QVERIFY(QFile::setPermissions(unreadable, {}));
    QVERIFY(writeText(conf, QStringLiteral("course = ") + course + QStringLiteral("/data/info/tumb.db\n")));
    const QString notCourse = scratch + QStringLiteral("/not & <b>course</b>");
    QVERIFY(QDir().mkpath(notCourse + QStringLiteral("/data/docs")));
    const QString notCourseConf = scratch + QStringLiteral("/not-course.conf");
    QVERIFY(writeText(notCourseConf, QStringLiteral("course = ") + notCourse + '\n'));
    const struct {
        QString conf, message;
    } cases[] = {
        {scratch + QStringLiteral("/missing.conf"), QStringLiteral("нет файла настройки")},
        {scratch, QStringLiteral("— папка, а не файл настройки")},
        {unreadable, QStringLiteral("нельзя прочитать (нет прав на чтение)")},
        {conf,
         QStringLiteral("tumb.db» (указана в «") + conf + QStringLiteral("») — файл, а не папка курса")},
        {notCourseConf, QStringLiteral("в папке «") + notCourse + QStringLiteral("» (указана в «") +
                            notCourseConf + QStringLiteral("») нет папки data/tests: это не папка курса")},
    };
    // An ordinary user must reach the launcher and the files through the scratch folder.
    QVERIFY(QFile::setPermissions(scratch, QFile::permissions(scratch) | QFile::ExeOther | QFile::ReadOther));
    for (const auto& c : cases) {
        QProcessEnvironment env = noDisplay();
        env.insert(QStringLiteral("ORTAVIA_CONF"), c.conf);
        const Run l = ::getuid() == 0
                          ? run(QStringLiteral("setpriv"),
                                {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                 QStringLiteral("--clear-groups"), launch, QStringLiteral("--version")},
                                env)
                          : run(launch, {QStringLiteral("--version")}, env);
        QCOMPARE(l.status, 1);
        QVERIFY2(l.err.startsWith(QStringLiteral("ortavia: ")) && l.err.contains(c.message),
                 qPrintable(l.err));
    }
}

// The launcher's message window, through a stand-in for each program that shows one: the text
// arrives as plain text (a path may hold "&" and "<").
void checkLauncherWindows(const QString& launch, const QString& scratch) {
    const QString conf = scratch + QStringLiteral("/a & <i>b</i>.conf");
    const struct {
        const char* tool;
        QString shown;
    } cases[] = {
        {"zenity",
         QStringLiteral("--error\n--no-markup\n--title=Ортавия\n--text=нет файла настройки «") + conf},
        {"kdialog", QStringLiteral("--title\nОртавия\n--error\n<qt>нет файла настройки «") + scratch +
                        QStringLiteral("/a &amp; &lt;i&gt;b&lt;/i&gt;.conf»")},
        {"xmessage", QStringLiteral("-center\n-file\n-\nОртавия: нет файла настройки «") + conf},
    };
    for (const auto& c : cases) {
        const QString bin = scratch + QStringLiteral("/bin-") + QLatin1String(c.tool);
        const QString log = bin + QStringLiteral(".log");
        QVERIFY(QDir().mkpath(bin));
        const QString stub = bin + '/' + QLatin1String(c.tool);
        QVERIFY(writeText(stub, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" >\"$LOG\"\n"
                                               "[ \"$1\" != -center ] || cat >>\"$LOG\"\n")));
        QVERIFY(QFile::setPermissions(stub, QFile::ReadOwner | QFile::ExeOwner));
        QProcessEnvironment env = noDisplay();
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":99"));
        env.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
        env.insert(QStringLiteral("ORTAVIA_CONF"), conf);
        env.insert(QStringLiteral("LOG"), log);
        QCOMPARE(run(launch, {}, env).status, 1);
        QVERIFY2(text(log).startsWith(c.shown), qPrintable(text(log)));
    }
}

QStringList packageFiles(const QString& deb) {
    QStringList files;
    for (const QString& line :
         run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).out.split('\n', Qt::SkipEmptyParts))
        if (!line.endsWith('/'))
            files << line.section(' ', -1);
    return files;
}

// The server's package: the program, its unit, its settings file kept as a conffile, its manual
// page; the libraries of the server and no desktop ones; the maintainer script that makes the user
// and the course folder readable by that user alone.
void checkServerPackage(const QString& deb, const QString& scratch) {
    const auto field = [&](const char* name) {
        return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(name)})
            .out.trimmed();
    };
    QCOMPARE(field("Package"), QStringLiteral("ortavia-server"));
    QCOMPARE(field("Version"), QStringLiteral(ORTAVIA_VERSION));
    QVERIFY(field("Description").startsWith(QStringLiteral("lab server")));
    const QString depends = field("Depends");
    for (const char* need : {"adduser", "openssl", "libqt6httpserver6", "libqt6network6"})
        QVERIFY2(depends.contains(QLatin1String(need)), qPrintable(depends));
    for (const char* desktop : {"libqt6widgets6", "libqt6webengine", "fonts-paratype"})
        QVERIFY2(!depends.contains(QLatin1String(desktop)), qPrintable(depends));
    const QStringList files = packageFiles(deb);
    QCOMPARE(QSet<QString>(files.begin(), files.end()),
             (QSet<QString>{QStringLiteral("./usr/bin/ortavia-server"),
                            QStringLiteral("./lib/systemd/system/ortavia-server.service"),
                            QStringLiteral("./etc/ortavia/server.conf"),
                            QStringLiteral("./usr/share/man/man1/ortavia-server.1.gz"),
                            QStringLiteral("./usr/share/doc/ortavia-server/copyright"),
                            QStringLiteral("./usr/share/doc/ortavia-server/changelog.gz")}));
    const QString control = scratch + QStringLiteral("/control");
    QVERIFY(QDir().mkpath(scratch));
    QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, control}).status, 0);
    QCOMPARE(text(control + QStringLiteral("/conffiles")), QStringLiteral("/etc/ortavia/server.conf\n"));
    const QString postinst = text(control + QStringLiteral("/postinst"));
    QVERIFY(postinst.contains(QStringLiteral("adduser --system")));
    QVERIFY(postinst.contains(QStringLiteral("chmod 0700")));
    const QString tree = scratch + QStringLiteral("/tree");
    QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, tree}).status, 0);
    checkUnit(tree + QStringLiteral("/lib/systemd/system/ortavia-server.service"),
              QStringLiteral("/usr/bin/ortavia-server"), QStringLiteral("/etc/ortavia/server.conf"));
    QVERIFY(text(tree + QStringLiteral("/etc/ortavia/server.conf"))
                .contains(QStringLiteral("\ncourse = /srv/ortavia/course\n")));
    const Run lint = run(QStringLiteral("lintian"), {QStringLiteral("--no-tag-display-limit"), deb});
    QVERIFY2(lint.status == 0 && !lint.out.contains(QStringLiteral("E: ")), qPrintable(lint.out + lint.err));
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT
private slots:
    void installLaysOutWorkingFiles() {
        QTemporaryDir scratch;
        const QString prefix = scratch.filePath(QStringLiteral("prefix"));
        const Run install = run(QStringLiteral("cmake"),
                                {QStringLiteral("--install"), kBuild, QStringLiteral("--prefix"), prefix});
        QVERIFY2(install.status == 0, qPrintable(install.err));

        for (const QString& f : kLaidOut + kServerLaidOut)
            QVERIFY2(QFileInfo::exists(prefix + '/' + f), qPrintable(f));
        QVERIFY(QFileInfo(prefix + QStringLiteral("/bin/ortavia")).isExecutable());
        const QString unit = prefix + QStringLiteral("/lib/systemd/system/ortavia-server.service");
        checkUnit(unit, prefix + QStringLiteral("/bin/ortavia-server"),
                  prefix + QStringLiteral("/etc/ortavia/server.conf"));
        if (!QStandardPaths::findExecutable(QStringLiteral("systemd-analyze")).isEmpty()) {
            const Run verify = run(QStringLiteral("systemd-analyze"),
                                   {QStringLiteral("verify"), QStringLiteral("--man=no"), unit});
            QVERIFY2(verify.status == 0 && verify.err.isEmpty(), qPrintable(verify.out + verify.err));
        }
        QVERIFY(QFileInfo(prefix + QStringLiteral("/libexec/ortavia/ortavia-start")).isExecutable());
        checkTemplateIsClean(filesUnder(prefix + QStringLiteral("/share/ortavia/course")));
        if (QTest::currentTestFailed())
            return;
        // The ten question files and the three figures they name.
        QCOMPARE(filesUnder(prefix + QStringLiteral("/share/doc/ortavia/examples/tests")).size(), 13);

        // The menu entry starts the launcher of this prefix, which starts this prefix's program in the
        // course folder named in this prefix's lab settings.
        const QString conf = prefix + QStringLiteral("/etc/ortavia/ortavia.conf");
        QVERIFY(QFileInfo::exists(conf));
        const QString desktop =
            text(prefix + QStringLiteral("/share/applications/org.ortavia.Ortavia.desktop"));
        QVERIFY(desktop.contains(QStringLiteral("\nExec=") + prefix +
                                 QStringLiteral("/libexec/ortavia/ortavia-start\n")));
        QVERIFY(desktop.contains(QStringLiteral("\nIcon=org.ortavia.Ortavia\n")));
        const QString launcher = text(prefix + QStringLiteral("/libexec/ortavia/ortavia-start"));
        QVERIFY(launcher.contains(conf));
        QVERIFY(launcher.contains(QStringLiteral("program=") + prefix + QStringLiteral("/bin/ortavia\n")));

        // The validators of the desktop entry and the metainfo accept them.
        const Run dfv = run(QStringLiteral("desktop-file-validate"),
                            {prefix + QStringLiteral("/share/applications/org.ortavia.Ortavia.desktop")});
        QVERIFY2(dfv.status == 0 && !dfv.out.contains(QStringLiteral("error")),
                 qPrintable(dfv.out + dfv.err));
        const Run asv = run(QStringLiteral("appstreamcli"),
                            {QStringLiteral("validate"), QStringLiteral("--no-net"),
                             prefix + QStringLiteral("/share/metainfo/org.ortavia.Ortavia.metainfo.xml")});
        QVERIFY2(asv.status == 0, qPrintable(asv.out + asv.err));

        // The installed programs answer --version without a display.
        for (const char* program : {"ortavia", "ortavia-tests", "ortavia-server"}) {
            const Run v = run(prefix + QStringLiteral("/bin/") + QLatin1String(program),
                              {QStringLiteral("--version")}, noDisplay());
            QCOMPARE(v.status, 0);
            QCOMPARE(v.out, QLatin1String(program) + QStringLiteral(" " ORTAVIA_VERSION "\n"));
        }

        // init copies the installed template.
        const QString course = scratch.filePath(QStringLiteral("lab/course"));
        const Run init = run(prefix + QStringLiteral("/bin/ortavia-tests"), {QStringLiteral("init"), course});
        QVERIFY2(init.status == 0, qPrintable(init.err));
        QVERIFY(init.out.contains(prefix + QStringLiteral("/share/ortavia/course")));
        QCOMPARE(filesUnder(course), filesUnder(prefix + QStringLiteral("/share/ortavia/course")));

        // The launcher: a clear message while no course folder is set or the folder is missing,
        // and the program started in the folder once it is set.
        const QString launch = prefix + QStringLiteral("/libexec/ortavia/ortavia-start");
        Run l = run(launch, {QStringLiteral("--version")}, noDisplay());
        QCOMPARE(l.status, 1);
        QVERIFY2(l.err.contains(QStringLiteral("папка курса не указана")), qPrintable(l.err));
        QVERIFY(writeText(conf, QStringLiteral("# lab\ncourse = ") + course + QStringLiteral("/missing\n")));
        l = run(launch, {QStringLiteral("--version")}, noDisplay());
        QCOMPARE(l.status, 1);
        QVERIFY2(l.err.contains(QStringLiteral("нет папки курса")), qPrintable(l.err));
        checkLauncherRefusals(launch, conf, course, scratch.path());
        checkLauncherWindows(launch, scratch.path());
        if (QTest::currentTestFailed())
            return;
        QVERIFY(writeText(conf, QStringLiteral("course = ") + course + QStringLiteral("  \n")));
        l = run(launch, {QStringLiteral("--version")}, noDisplay());
        QVERIFY2(l.status == 0, qPrintable(l.err));
        QCOMPARE(l.out, QStringLiteral("ortavia " ORTAVIA_VERSION "\n"));

        // A second install keeps the administrator's lab settings.
        QCOMPARE(run(QStringLiteral("cmake"),
                     {QStringLiteral("--install"), kBuild, QStringLiteral("--prefix"), prefix})
                     .status,
                 0);
        QVERIFY(text(conf).startsWith(QStringLiteral("course = ") + course));

        // With a server the launcher passes it and its fingerprint on; no course folder is needed.
        const QString program = prefix + QStringLiteral("/bin/ortavia");
        QVERIFY(QFile::remove(program));
        QVERIFY(writeText(program, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\"\n")));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        const struct {
            const char* conf;
            int status;
            const char* shown;
        } servers[] = {
            {"course = /nowhere\nserver = 10.0.0.5:8443 \nfingerprint = AB:CD\n", 0,
             "--server\n10.0.0.5:8443\n--fingerprint\nAB:CD\n--version\n"},
            {"server = lab\n", 1, "не указан отпечаток"},
            {"fingerprint = AB:CD\n", 1, "не указан сервер"},
        };
        for (const auto& c : servers) {
            QVERIFY(writeText(conf, QString::fromUtf8(c.conf)));
            l = run(launch, {QStringLiteral("--version")}, noDisplay());
            QCOMPARE(l.status, c.status);
            QVERIFY2((c.status == 0 ? l.out : l.err).contains(QString::fromUtf8(c.shown)),
                     qPrintable(l.out + l.err));
        }
    }

    void debianPackageHoldsTheProgramAndItsRunTimeNeeds() {
        QTemporaryDir scratch;
        const Run pack =
            run(QStringLiteral("cpack"),
                {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                 kBuild + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), scratch.path()});
        QVERIFY2(pack.status == 0, qPrintable(pack.out + pack.err));
        const QStringList debs = QDir(scratch.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(debs.size(), 2);
        const QString deb =
            scratch.filePath(debs.filter(QStringLiteral("ortavia_" ORTAVIA_VERSION "_")).value(0));
        const QString serverDeb =
            scratch.filePath(debs.filter(QStringLiteral("ortavia-server_" ORTAVIA_VERSION "_")).value(0));
        QVERIFY(QFileInfo(deb).isFile() && QFileInfo(serverDeb).isFile());
        checkServerPackage(serverDeb, scratch.filePath(QStringLiteral("server")));

        auto field = [&](const char* name) {
            return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(name)})
                .out.trimmed();
        };
        QCOMPARE(field("Package"), QStringLiteral("ortavia"));
        QCOMPARE(field("Version"), QStringLiteral(ORTAVIA_VERSION));
        QCOMPARE(field("Section"), QStringLiteral("education"));
        QVERIFY(!field("Maintainer").isEmpty());
        QVERIFY(!field("Description").isEmpty());
        const QStringList depends = field("Depends").split(QStringLiteral(", "));
        QStringList names;
        for (const QString& d : depends)
            names << d.section(QLatin1Char(' '), 0, 0);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
        QCOMPARE(field("Recommends"), QStringLiteral("zenity | kdialog | x11-utils"));
        for (const char* need :
             {"fonts-paratype", "qt6-translations-l10n", "qt6-qpa-plugins", "libqt6svg6", "libqt6charts6",
              "libxlsxwriter4", "libqt6webenginewidgets6", "libqt6widgets6", "libqt6printsupport6"}) {
            bool found = false;
            for (const QString& d : depends)
                found = found || d == QLatin1String(need) ||
                        d.startsWith(QLatin1String(need) + QLatin1String(" ("));
            QVERIFY2(found, need);
        }

        const Run listing = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        QCOMPARE(listing.status, 0);
        QStringList files, templateFiles;
        for (const QString& line : listing.out.split('\n', Qt::SkipEmptyParts)) {
            const QString path = line.section(' ', -1);
            if (path.endsWith('/'))
                continue;
            files << path;
            if (path.startsWith(QLatin1String("./usr/share/ortavia/course/")))
                templateFiles << path.mid(int(std::strlen("./usr/share/ortavia/course/")));
        }
        for (const QString& f : kLaidOut)
            QVERIFY2(files.contains(QStringLiteral("./usr/") + f), qPrintable(f));
        QVERIFY(files.contains(QStringLiteral("./etc/ortavia/ortavia.conf")));
        QVERIFY(files.contains(QStringLiteral("./usr/share/doc/ortavia/changelog.gz")));
        checkTemplateIsClean(templateFiles);
        if (QTest::currentTestFailed())
            return;
        for (const QString& f : files)
            QVERIFY2(
                (f.startsWith(QLatin1String("./usr/")) || f == QLatin1String("./etc/ortavia/ortavia.conf")) &&
                    !f.contains(QLatin1String("ortavia-server")),
                qPrintable(f));

        // The lab settings are a configuration file that an upgrade keeps, and the menu entry
        // starts the packaged launcher.
        const QString control = scratch.filePath(QStringLiteral("control"));
        QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, control}).status, 0);
        QCOMPARE(text(control + QStringLiteral("/conffiles")), QStringLiteral("/etc/ortavia/ortavia.conf\n"));
        const QString tree = scratch.filePath(QStringLiteral("tree"));
        QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, tree}).status, 0);
        QVERIFY(text(tree + QStringLiteral("/usr/share/applications/org.ortavia.Ortavia.desktop"))
                    .contains(QStringLiteral("\nExec=/usr/libexec/ortavia/ortavia-start\n")));
        const QString launcher = text(tree + QStringLiteral("/usr/libexec/ortavia/ortavia-start"));
        QVERIFY(launcher.contains(QStringLiteral("/etc/ortavia/ortavia.conf")));
        QVERIFY(launcher.contains(QStringLiteral("program=/usr/bin/ortavia\n")));

        // lintian finds no error.
        const Run lint = run(QStringLiteral("lintian"), {QStringLiteral("--no-tag-display-limit"), deb});
        QVERIFY2(lint.status == 0 && !lint.out.contains(QStringLiteral("E: ")),
                 qPrintable(lint.out + lint.err));
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "test_install.moc"
