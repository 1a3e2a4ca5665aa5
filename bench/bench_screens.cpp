// Switching screens with the main window at its smallest size, where every fixed screen is drawn
// scaled down: each command timed from the command to the window painted (offscreen, a copy of the
// sample course). Also the time to lay all screens out again when the window changes size. Run
// from the source folder:
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_screens [course folder]
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/program.h"
#include "bench_support.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;

namespace {

struct Figures {
    double mean, median, max;
};

Figures figures(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    return {sum / times.size(), times[times.size() / 2], times.back()};
}

} // namespace

int main(int argc, char** argv) {
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);
    QTemporaryDir scratch;
    std::filesystem::copy(argc > 1 ? argv[1] : "course", scratch.path().toStdString(),
                          std::filesystem::copy_options::recursive);
    QDir::setCurrent(scratch.path());

    ui::Program program;
    bench::passTitle(program);
    ui::TForm1* w = program.form1.get();
    auto find = [w](const char* name) { return ui::findComponent(w, QString::fromLatin1(name)); };
    // The administrator of the sample course, who can reach every screen.
    qobject_cast<QLineEdit*>(find("Edit2"))->setText(QStringLiteral("admin"));
    qobject_cast<QLineEdit*>(find("MaskEdit1"))->setText(QStringLiteral("admin"));
    qobject_cast<QPushButton*>(find("SpeedButton3"))->click();

    w->resize(w->minimumSize());
    QApplication::processEvents();
    const QSize smallest = w->size();
    QWidget* client = w->centralWidget();

    auto action = [&](const char* name) {
        return [&find, name] { qobject_cast<QAction*>(find(name))->trigger(); };
    };
    auto button = [&](const char* name) {
        return [&find, name] { qobject_cast<QPushButton*>(find(name))->click(); };
    };
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"test screen (test1)", action("test1")},
        {"progress screen (Ni)", action("Ni")},
        {"viewer (back from progress)", button("SpeedButton4")},
        {"settings (Ntun)", action("Ntun")},
        {"viewer (back from settings)", button("SpeedButton6")},
        {"sign-in (NaFormuAvtorizazii)", action("NaFormuAvtorizazii")},
        {"text page (N30)", action("N30")},
        {"viewer (back from text page)", button("SpeedButton5")},
    };
    const int rounds = 40;
    std::vector<double> all;
    std::printf("window %dx%d, client area %dx%d\n", smallest.width(), smallest.height(), client->width(),
                client->height());
    for (const auto& [name, command] : commands) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer t;
            t.start();
            command();
            QApplication::processEvents();
            client->grab(); // the window painted as the user sees it
            if (round > 0)  // the first round warms up
                times.push_back(t.nsecsElapsed() / 1e6);
        }
        const Figures f = figures(times);
        all.insert(all.end(), times.begin(), times.end());
        std::printf("%-36s mean %6.2f ms, median %6.2f ms, max %6.2f ms\n", name, f.mean, f.median, f.max);
    }
    const Figures f = figures(all);
    std::printf("%-36s mean %6.2f ms, median %6.2f ms, max %6.2f ms\n", "every switch", f.mean, f.median,
                f.max);

    // Laying every screen out again: from the design size to the smallest and back.
    std::vector<double> relayout;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        t.start();
        w->resize(round % 2 ? smallest : QSize(926, 760));
        QApplication::processEvents();
        client->grab();
        relayout.push_back(t.nsecsElapsed() / 1e6);
    }
    const Figures r = figures(relayout);
    std::printf("%-36s mean %6.2f ms, median %6.2f ms, max %6.2f ms\n", "resize, screens laid out again",
                r.mean, r.median, r.max);
    return 0;
}
