// The document viewer commands of the main window.
#include <QProcess>
#include <QWebEngineView>

#include "course/course.h"
#include "docs/launcher.h"
#include "ui/tform1.h"

namespace ortavia::ui {

std::function<void(const QString&, const QStringList&)> TForm1::launcher = [](const QString& program,
                                                                              const QStringList& args) {
    QProcess::startDetached(program, args); // a failure goes unnoticed, as with any launcher
};

void TForm1::FormCreate() {
    navigate("\\data\\help\\sod.htm");
}

void TForm1::opendoc(const std::string& relativePath) {
    showPanels({Panel1}, {Panel2, Panel3, Panel4, Panel6});
    navigate(relativePath);
}

void TForm1::navigate(const std::string& relativePath) {
    requestedUrl_ = course_.documentUrl(relativePath);
    WebBrowser1->setUrl(requestedUrl_);
}

void TForm1::launch(const std::string& commandLine) {
    const std::optional<std::string> file = docs::slideShowFile(commandLine);
    if (!file)
        return;
    // The presentation is a document of the course, found where the course keeps it.
    const docs::SlideShow show = docs::slideShowOf(course_.documentUrl("\\" + *file));
    QStringList args;
    for (const std::string& a : show.args)
        args << QString::fromStdString(a);
    launcher(QString::fromStdString(show.program), args);
}

} // namespace ortavia::ui
