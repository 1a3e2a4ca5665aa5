// Timing of the teacher's results: the class overview of many students opened from its command
// (users and users.ini read once, the table filled, laid out and painted), the XLSX and CSV
// exports of that class, and the test statistics over a long journal (read and gone through once;
// then the whole window with its charts). Runs offscreen.
//
//   ./build/bench/bench_results [students] [journal lines] [repetitions] [big journal MB]
//
// Last the big journal (default 2,000 MB, written piece by piece): the statistics window opened
// over it, read by its worker while the event loop runs, with the longest pause of the event loop,
// the peak memory and the memory left after the window is closed. Measured (same machine, loaded):
// 2,000 MB shown at once (3-7 ms), read in 14.8-20.4 s with the event loop never held longer than
// 65 ms, peak 8 MB above the 129 MB before, 138 MB after closing (was 17 s frozen, a 4.3 GB peak
// and 2.2 GB kept).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "reports/class_overview_form.h"
#include "reports/class_table.h"
#include "reports/journal_stats.h"
#include "reports/statistics_form.h"
#include "reports/table_export.h"
#include "store/codepage.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;

namespace {

struct Figures {
    std::vector<double> ms;
    void add(const QElapsedTimer& clock) { ms.push_back(double(clock.nsecsElapsed()) / 1e6); }
    void print(const char* what, double limit) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-52s min %8.1f ms, median %8.1f ms, max %8.1f ms%s\n", what, ms.front(),
                    ms[ms.size() / 2], ms.back(),
                    limit > 0 ? qPrintable(QStringLiteral(" (limit %1 ms)").arg(limit)) : "");
    }
};

// Lines as the test run writes them, over 200 days.
std::string journal(int lines) {
    const std::string names[] = {cp::fromUtf8("Айгүл Серікова").value(), "student17",
                                 cp::fromUtf8("Қанат Әлиев").value()};
    std::string out;
    out.reserve(std::size_t(lines) * 48);
    for (int i = 0; i < lines; ++i) {
        const int day = i / (lines / 200 + 1);
        char rest[96];
        std::snprintf(rest, sizeof rest, " | %02d:%02d:%02d | %02d.%02d.2026 | test%d | %d\r\n", 8 + i % 10,
                      i % 60, (i * 7) % 60, 1 + day % 28, 1 + day / 28, 1 + i % 10, 1 + i % 5);
        out.append(names[i % 3]).append(rest);
    }
    return out;
}

// Resident memory now and its peak since the last reset, in MB; reset() starts a new peak.
double statusMegabytes(const char* key) {
    double kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::string format = std::string(key) + ": %lf";
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, format.c_str(), &kb) == 1)
                break;
        std::fclose(f);
    }
    return kb / 1024;
}
void resetPeak() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    const int students = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int lines = argc > 2 ? std::atoi(argv[2]) : 1000000;
    const int repetitions = argc > 3 ? std::atoi(argv[3]) : 5;
    const long long bigMegabytes = argc > 4 ? std::atoll(argv[4]) : 2000;
    bench::offscreenByDefault();
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);

    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    bench::seedUsers(students, "4");
    const std::string content = journal(lines);
    {
        QFile f(QStringLiteral("journal.txt"));
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(content.data(), qint64(content.size())) != qint64(content.size()))
            return 1;
    }
    std::printf("%d students (users.ini %.1f MB), journal of %d lines (%.1f MB), %d runs each\n", students,
                double(QFileInfo(QStringLiteral("users.ini")).size()) / 1e6, lines,
                double(content.size()) / 1e6, repetitions);

    Figures open, core, xlsx, csv, stats, statsWindow;
    bool ok = true;
    {
        ui::Program program;
        bench::passTitle(program);
        ui::TForm1* main = program.form1.get();
        for (int r = 0; r < repetitions; ++r) {
            QElapsedTimer clock;
            clock.start();
            main->guarded([main] { main->NSvodClick(); });
            auto* w = main->findChild<ui::ClassOverview*>(QStringLiteral("FormSvod"));
            QApplication::processEvents();
            if (w)
                w->repaint();
            QApplication::processEvents();
            open.add(clock);
            if (!w || w->classTable().rows.size() != std::size_t(students) ||
                !ui::dialogs::shownBoxes().isEmpty()) {
                std::fprintf(stderr, "the overview is wrong\n");
                ok = false;
                break;
            }
            w->close();
            settle();
        }

        for (int r = 0; r < repetitions; ++r) {
            QElapsedTimer clock;
            clock.start();
            const reports::ClassTable table = reports::readClassTable();
            core.add(clock);
            clock.restart();
            reports::exportTable(reports::classTableExport(table),
                                 dir.filePath(QStringLiteral("class.xlsx")));
            xlsx.add(clock);
            clock.restart();
            reports::exportTable(reports::classTableExport(table), dir.filePath(QStringLiteral("class.csv")));
            csv.add(clock);
        }

        for (int r = 0; r < repetitions; ++r) {
            QElapsedTimer clock;
            clock.start();
            reports::Statistics s;
            if (const auto journalContent = reports::readJournalContent("journal.txt"))
                reports::addJournalStatistics(s, *journalContent);
            stats.add(clock);
            if (s.journal.read != std::size_t(lines) || s.journal.skipped != 0) {
                std::fprintf(stderr, "the statistics are wrong\n");
                ok = false;
            }
            clock.restart();
            main->guarded([main] { main->NStatClick(); });
            auto* w = main->findChild<ui::TestStatistics*>(QStringLiteral("FormStat"));
            QApplication::processEvents();
            if (w)
                w->repaint();
            QApplication::processEvents();
            statsWindow.add(clock);
            if (!w) {
                ok = false;
                break;
            }
            w->close();
            settle();
        }

        // The big journal, written from one repeated piece.
        {
            const std::string piece = journal(20000);
            QFile f(QStringLiteral("journal.txt"));
            if (!f.open(QIODevice::WriteOnly))
                return 1;
            for (long long written = 0; written < bigMegabytes << 20; written += qint64(piece.size()))
                if (f.write(piece.data(), qint64(piece.size())) != qint64(piece.size()))
                    return 1;
        }
        settle();
        const double before = statusMegabytes("VmRSS");
        resetPeak();
        QElapsedTimer clock, tick;
        clock.start();
        main->guarded([main] { main->NStatClick(); });
        const double opened = double(clock.nsecsElapsed()) / 1e6;
        auto* w = main->findChild<ui::TestStatistics*>(QStringLiteral("FormStat"));
        // The longest gap between the ticks of a 10 ms timer: how long the window would not respond.
        double longestPause = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestPause = std::max(longestPause, double(tick.nsecsElapsed()) / 1e6);
            tick.restart();
        });
        tick.start();
        ticker.start(10);
        while (w && w->loading())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ticker.stop();
        const double loaded = double(clock.nsecsElapsed()) / 1e6;
        const double peak = statusMegabytes("VmHWM");
        if (!w || w->statistics().journal.read == 0) {
            std::fprintf(stderr, "the big journal was not read\n");
            ok = false;
        } else {
            std::printf(
                "big journal %lld MB: window shown in %.0f ms, read in %.1f s, longest event-loop pause "
                "%.0f ms; memory before %.0f MB, peak %.0f MB",
                bigMegabytes, opened, loaded / 1000, longestPause, before, peak);
            w->close();
            settle();
            std::printf(", after closing %.0f MB\n", statusMegabytes("VmRSS"));
        }
        QFile::remove(QStringLiteral("journal.txt"));
    }
    QDir::setCurrent(previous);
    open.print("class overview opened and painted:", 300);
    core.print("  of which the class table read (users, users.ini):", 0);
    xlsx.print("XLSX export of the class:", 2000);
    csv.print("CSV export of the class:", 0);
    stats.print("journal statistics (read and gone through):", 1000);
    statsWindow.print("statistics window with charts (class + journal):", 0);
    const bool inTime = open.ms.back() <= 300 && xlsx.ms.back() <= 2000 && stats.ms.back() <= 1000;
    return !ok ? 1 : inTime ? 0 : 2;
}
