// Timing of the administrator's journal view: a test journal of 100,000 lines shown on the text
// page screen, measured from the command to the painted window (reading the file, converting it
// from the code page, filling the memo, laying it out and painting it). Runs offscreen.
//
//   ./build/bench/bench_journal [lines] [repetitions]
#include <QApplication>

#include "bench_support.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/program.h"
#include "store/codepage.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;

namespace {

void writeFile(const QString& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// Lines as the test run writes them: name | time | date | test | grade.
std::string journal(int lines) {
    const char* names[] = {"Айгүл Серікова", "Иванов Пётр", "Student", "Қанат Әлиев"};
    std::string out;
    for (int i = 0; i < lines; ++i) {
        const std::string name = cp::fromUtf8(names[i % 4]).value();
        char rest[96];
        std::snprintf(rest, sizeof rest, " | %02d:%02d:%02d | %02d.%02d.2024 | test%d | %d\r\n", 8 + i % 10,
                      i % 60, (i * 7) % 60, 1 + i % 28, 1 + i % 12, 1 + i % 10, 1 + i % 5);
        out.append(name).append(rest);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    bench::offscreenByDefault();
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);

    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    writeFile(dir.filePath(QStringLiteral("data/info/tumb.db")), "admin|admin|journal.txt\r\n");
    const std::string content = journal(lines);
    writeFile(dir.filePath(QStringLiteral("journal.txt")), content);

    std::vector<double> timings;
    {
        ui::Program program;
        ui::TForm1* main = program.form1.get();
        main->show();
        QApplication::processEvents();
        auto* memo = ui::findComponentAs<QPlainTextEdit>(main, QStringLiteral("Memo2"));
        for (int r = 0; r < repetitions; ++r) {
            QElapsedTimer clock;
            clock.start();
            main->guarded([main] { main->N30Click(); });
            QApplication::processEvents();
            main->repaint(); // layout and paint of the visible text, synchronously
            QApplication::processEvents();
            timings.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (memo->blockCount() != lines || !ui::dialogs::shownBoxes().isEmpty()) {
                std::fprintf(stderr, "the memo holds %d lines, %d boxes shown\n", memo->blockCount(),
                             int(ui::dialogs::shownBoxes().size()));
                return 1;
            }
            // Something typed in between, as an administrator might.
            memo->appendPlainText(QStringLiteral("edited"));
        }
    }
    QDir::setCurrent(previous);

    std::sort(timings.begin(), timings.end());
    std::printf("journal view: %d lines (%.1f MB), %d runs: min %.1f ms, median %.1f ms, max %.1f ms "
                "(limit 1000 ms)\n",
                lines, double(content.size()) / 1e6, repetitions, timings.front(),
                timings[timings.size() / 2], timings.back());
    return timings.back() <= 1000 ? 0 : 2;
}
