#include "app/program.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <unistd.h>

#include "app/tform3.h"
#include "course/files_course.h"
#include "docs/deployment.h"
#include "reports/report_form.h"
#include "testing/encipher_form.h"
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
    // A deployment text file with a fault: the windows show what was sound in it and the
    // placeholders for the rest; the deployer reads what was skipped on the terminal.
    for (const std::string& problem : deployed.problems)
        qWarning("%s", problem.c_str());
}

Program::~Program() {
    form5.reset();
    okRightDlg1.reset();
    form4.reset();
    okRightDlg.reset();
    form3.reset();
    form2.reset();
    form1.reset();
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
