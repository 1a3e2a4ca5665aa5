// Every document command of the catalogue, timed from the menu command to the page loaded in the
// viewer (offscreen, the sample course). Run from the source folder:
//   QT_QPA_PLATFORM=offscreen ./build/bench/bench_viewer [course folder]
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/program.h"
#include "app/tform3.h"
#include "bench_support.h"
#include "docs/catalogue.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;

int main(int argc, char** argv) {
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);
    QDir::setCurrent(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("course"));

    ui::Program program;
    bench::passTitle(program);
    ui::TForm1* w = program.form1.get();
    QWebEngineView* view = w->browser();
    auto waitLoaded = [&] {
        QEventLoop loop;
        bool ok = false;
        const auto c = QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&](bool success) {
            ok = success;
            loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(c);
        return ok;
    };
    waitLoaded(); // the help start page

    std::vector<double> times;
    int failed = 0;
    for (int round = 0; round < 2; ++round)
        for (const docs::MenuEntry& e : docs::menuEntries()) {
            if (e.action != docs::Action::View)
                continue;
            QElapsedTimer t;
            t.start();
            ui::findComponentAs<QAction>(w, QString::fromLatin1(e.name))->trigger();
            if (!waitLoaded())
                ++failed;
            if (round == 1) // the second round, with the web engine warmed up
                times.push_back(t.nsecsElapsed() / 1e6);
        }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double x : times)
        sum += x;
    std::printf("documents: %zu, not loaded: %d\n", times.size(), failed);
    std::printf("command to page loaded: mean %.1f ms, median %.1f ms, max %.1f ms\n", sum / times.size(),
                times[times.size() / 2], times.back());
    return 0;
}
