// Ортавия: the electronic teaching aid of the physics course. The program works on the course
// folder that is its current directory; its only arguments are --version and --help, answered
// before any window system is needed.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/program.h"

namespace {

// Answers --version and --help; false for every other call.
bool answerInformationCall(int argc, char** argv, int& status) {
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::fputs("ortavia " ORTAVIA_VERSION "\n", stdout);
    } else if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs("Использование: ortavia [--version | --help]\n"
                   "Запускает электронное пособие «Ортавия» на папке курса — текущей папке.\n"
                   "  --version  показать версию\n"
                   "  --help     показать эту справку\n",
                   stdout);
    } else {
        return false;
    }
    status = std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (int status = 0; answerInformationCall(argc, argv, status))
        return status;
    ortavia::ui::prepareApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ортавия"));
    ortavia::ui::installTranslations();
    ortavia::ui::Program program;
    return program.run();
}
