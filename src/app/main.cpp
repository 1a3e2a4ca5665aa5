// Ортавия: the electronic teaching aid of the physics course. The program works on the course
// folder that is its current directory, or, given --server and --fingerprint, on the course of a
// lab server (no course folder on this computer then). --version and --help are answered before
// any window system is needed.
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
                   "       ortavia --server АДРЕС[:ПОРТ] --fingerprint ОТПЕЧАТОК\n"
                   "Запускает электронное пособие «Ортавия» на папке курса — текущей папке,\n"
                   "или на курсе сервера класса ortavia-server.\n"
                   "  --server АДРЕС[:ПОРТ]     сервер класса (порт по умолчанию 8443)\n"
                   "  --fingerprint ОТПЕЧАТОК  отпечаток SHA-256 сертификата сервера, как его\n"
                   "                           печатает ortavia-server --fingerprint\n"
                   "  --version                показать версию\n"
                   "  --help                   показать эту справку\n",
                   stdout);
    } else {
        return false;
    }
    status = std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    return true;
}

// The values of --server and --fingerprint; false (and the usage told) when only one is given or
// one lacks its value.
bool serverOptions(int argc, char** argv, const char*& server, const char*& fingerprint) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--server") == 0 && hasValue)
            server = argv[++i];
        else if (std::strcmp(argv[i], "--fingerprint") == 0 && hasValue)
            fingerprint = argv[++i];
        else if (std::strcmp(argv[i], "--server") == 0 || std::strcmp(argv[i], "--fingerprint") == 0)
            server = fingerprint = nullptr, i = argc;
    }
    if (!server == !fingerprint)
        return true;
    std::fputs("ortavia: --server и --fingerprint задаются вместе: ortavia --server АДРЕС[:ПОРТ] "
               "--fingerprint ОТПЕЧАТОК (ortavia --help).\n",
               stderr);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (int status = 0; answerInformationCall(argc, argv, status))
        return status;
    const char *server = nullptr, *fingerprint = nullptr;
    if (!serverOptions(argc, argv, server, fingerprint))
        return 2;
    ortavia::ui::prepareApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ортавия"));
    ortavia::ui::installTranslations();
    std::unique_ptr<ortavia::course::Course> course;
    if (server) {
        course = ortavia::ui::connectToServer(QString::fromLocal8Bit(server), fingerprint);
        if (!course)
            return 1;
    }
    ortavia::ui::Program program(std::move(course));
    return program.run();
}
