// Ортавия: the electronic teaching aid of the physics course. The program takes no arguments and
// works on the course folder that is its current directory.
#include <QApplication>

#include "app/program.h"

int main(int argc, char** argv) {
    ortavia::ui::prepareApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ортавия"));
    ortavia::ui::installTranslations();
    ortavia::ui::Program program;
    return program.run();
}
