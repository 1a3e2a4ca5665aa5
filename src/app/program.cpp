#include "app/program.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdlib>
#include <unistd.h>

#include "app/tform3.h"
#include "course/files_course.h"
#include "course/server_course.h"
#include "docs/deployment.h"
#include "reports/report_form.h"
#include "store/error.h"
#include "testing/encipher_form.h"
#include "ui/dialogs.h"
#include "ui/document_scheme.h"
#include "ui/info_windows.h"
#include "ui/look.h"
#include "ui/tform1.h"

static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace ortavia::ui {

void prepareApplication() {
    // The web engine's sandbox cannot run as root (a lab machine set up by its administrator).
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    // The course documents are web pages: the engine shows their headings, paragraphs and tables
    // to a screen reader only when asked before it starts. A value set by the user stays.
    setenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerDocumentScheme();
}

std::unique_ptr<course::Course> connectToServer(const QString& address, const std::string& fingerprint) {
    const auto parsed = course::ServerCourse::parseAddress(address);
    if (!parsed) {
        dialogs::error(nullptr,
                       QStringLiteral("Адрес сервера «%1» не вида АДРЕС или АДРЕС:ПОРТ.").arg(address));
        return nullptr;
    }
    auto server = std::make_unique<course::ServerCourse>(parsed->first, parsed->second, fingerprint);
    try {
        server->checkConnection();
    } catch (const Error& e) {
        dialogs::error(nullptr, QString::fromStdString(e.what()));
        return nullptr;
    }
    return server;
}

void installTranslations() {
    // The framework's own windows (file dialog, print preview) speak Russian like the program's
    // administrator tools, whatever the machine's language; without the translation files they
    // stay in English.
    // Numbers, units and paper sizes of those windows follow the same language.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ru", "qtwebengine_ru"}) {
        auto* translator = new QTranslator(qApp);
        if (translator->load(QString::fromLatin1(name), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

Program::Program(std::unique_ptr<course::Course> given) : course(std::move(given)) {
    if (!course)
        course = std::make_unique<course::FilesCourse>();
    initResources();
    look::installFontSubstitutes();
    look::installFocusRing();
    QApplication::setQuitOnLastWindowClosed(false);
    // The texts of the title screen and the information windows, read once.
    const deployment::Reading deployed = course->deploymentTexts();
    form1 = std::make_unique<TForm1>(*course);
    form2 = std::make_unique<TForm2>(form1.get());
    form3 = std::make_unique<TForm3>(form1.get(), deployed.texts);
    okRightDlg = std::make_unique<TOKRightDlg>(deployed.texts);
    form4 = std::make_unique<TForm4>();
    okRightDlg1 = std::make_unique<TOKRightDlg1>(form1.get(), form4.get());
    form5 = std::make_unique<TForm5>(deployed.texts);
    form1->setWindows(form2.get(), okRightDlg.get(), okRightDlg1.get(), form5.get());
    form1->setVisible(false);
    // The viewer's pages of a lab server come through the course object.
    documents = std::make_unique<DocumentScheme>(form1->browser()->page()->profile(), *course);
    // An answer that waits for the lab server's connection is told on the test screen.
    if (auto* server = dynamic_cast<course::ServerCourse*>(course.get()))
        server->onConnectionLost = [window = form1.get()](bool lost) { window->connectionLost(lost); };
    // A deployment text file with a fault: the windows show what was sound in it and the
    // placeholders for the rest; the deployer reads what was skipped on the terminal.
    for (const std::string& problem : deployed.problems)
        qWarning("%s", problem.c_str());
}

Program::~Program() {
    if (auto* server = dynamic_cast<course::ServerCourse*>(course.get()))
        server->onConnectionLost = nullptr;
    form5.reset();
    okRightDlg1.reset();
    form4.reset();
    okRightDlg.reset();
    form3.reset();
    form2.reset();
    form1.reset();
    documents.reset();
}

void Program::showTitle() {
    form3->exec();
}

int Program::run() {
    QObject::connect(form1.get(), &TForm1::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    showTitle();
    return QApplication::exec();
}

} // namespace ortavia::ui
