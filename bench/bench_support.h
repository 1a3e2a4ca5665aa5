#pragma once
// What the window benchmarks share: a course folder of many registered users, and the program
// started as it is after its title screen.
#include <QDir>
#include <QTimer>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/tform3.h"
#include "store/store.h"
#include "store/textfile.h"

namespace ortavia::bench {

// The administrator settings and `users` registered users "student<i>" with the password
// "pw<i>", test 1 graded `grade1`, the other tests 0, in the current directory.
// A benchmark of the windows runs offscreen unless told otherwise, the web engine without a GPU.
inline void offscreenByDefault() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
}

inline void seedUsers(int users, const char* grade1) {
    QDir().mkpath(QStringLiteral("data/info"));
    textfile::replace("data\\info\\tumb.db", "admin|admin|journal.txt\r\n");
    std::vector<std::string> names;
    store::Batch records("\\users.ini");
    for (int i = 0; i < users; ++i) {
        names.push_back("student" + std::to_string(i));
        records.write(names.back(), "password", "pw" + std::to_string(i));
        for (int k = 1; k <= 12; ++k)
            records.write(names.back(), "test" + std::to_string(k), k == 1 ? grade1 : "0");
    }
    records.commit();
    textfile::replace("users", textfile::joinLines(names));
}

// Shows the title screen and closes it at once: the main window is then on screen.
inline void passTitle(ui::Program& program) {
    QTimer::singleShot(0, program.form3.get(), &QWidget::close);
    program.showTitle();
}

} // namespace ortavia::bench
