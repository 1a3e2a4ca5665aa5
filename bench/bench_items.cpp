// Timing of the item analysis as "ortavia-tests items" does it: the answer log read, its runs and
// figures worked out, and the table written as CSV and as XLSX. The log holds whole runs of 20
// questions by 5,000 students over ten tests, lines of several students interleaved as a lab
// writes them.
//
//   ./build/bench/bench_items [log lines] [repetitions]
//
// Measured on the 2-core build machine (shared, under load): 1,000,000 lines (66 MB) read, analysed
// and tabulated in 353-765 ms (median 419 ms), CSV or XLSX written in about 10 ms more; the command
// "ortavia-tests items" over such a log, process start included, 0.83-0.99 s. Limit: 2 s.
//
// Then the hostile logs: one student's run of 100,000 and of 200,000 answers (the work must grow
// with the run's length, not its square), and lines of question 999999 under many test names
// (memory must follow the log, not the numbers in it), each with the peak memory it took.
// Measured (same machine, loaded): the 1,000,000-line log 342-857 ms (median 486 ms); one run of
// 100,000 answers 80-120 ms and of 200,000 187-362 ms (were 3.3 s and 12.6 s); 40, 300 and
// 100,000 lines of question 999999 under as many test names 0.0, 0.1 and 320 ms, all skipped, the
// peak not above that of the log itself (were 24 s and 4.4 GB for 40 lines, bad_alloc for 300).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "reports/item_analysis.h"
#include "reports/table_export.h"
#include "store/codepage.h"
#include "store/textfile.h"
#include "testing/options.h"

using namespace ortavia;

namespace {

std::string answerLog(long long lines) {
    std::mt19937 engine(7);
    std::string out;
    out.reserve(std::size_t(lines) * 56);
    const std::string surname = cp::fromUtf8(" Серікова").value();
    long long written = 0;
    for (int run = 0; written < lines; ++run) {
        // Eight students answer at once: their lines interleave question by question.
        for (int q = 1; q <= 20 && written < lines; ++q)
            for (int s = 0; s < 8 && written < lines; ++s, ++written) {
                const int student = (run * 8 + s) % 5000;
                const int test = 1 + (run / 625) % 10;
                const int chosen = 1 + int(engine() % 5);
                char rest[96];
                std::snprintf(rest, sizeof rest, " | 10:%02d:%02d | 08.12.2026 | test%d | %d | %d | %d\r\n",
                              q % 60, s, test, q, chosen, chosen == 1 + q % 5 ? 1 : 0);
                out.append("student").append(std::to_string(student)).append(surname).append(rest);
            }
    }
    return out;
}

struct Figures {
    std::vector<double> ms;
    void add(const QElapsedTimer& clock) { ms.push_back(double(clock.nsecsElapsed()) / 1e6); }
    void print(const char* what, double limit) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-46s min %8.1f ms, median %8.1f ms, max %8.1f ms%s\n", what, ms.front(),
                    ms[ms.size() / 2], ms.back(),
                    limit > 0 ? (" (limit " + std::to_string(int(limit)) + " ms)").c_str() : "");
    }
};

// One run of `answers` questions by one student.
std::string longRun(int answers) {
    std::string out;
    for (int q = 1; q <= answers; ++q)
        out += "solo | 10:00:00 | 08.12.2026 | test1 | " + std::to_string(q) + " | 1 | " +
               (q % 2 ? "1" : "0") + "\r\n";
    return out;
}

// Lines of question 999999, each under a test name of its own.
std::string farQuestions(int lines) {
    std::string out;
    for (int i = 0; i < lines; ++i)
        out += "x | 10:00:00 | 08.12.2026 | t" + std::to_string(i) + " | 999999 | 1 | 1\r\n";
    return out;
}

// The peak resident memory since the last call, in MB (the peak is reset by each call).
double peakMegabytes() {
    double kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %lf", &kb) == 1)
                break;
        std::fclose(f);
    }
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
    return kb / 1024;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long lines = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    textfile::replace(std::string(testing::kAnswerLog), answerLog(lines));
    std::printf("answer log: %lld lines, %lld bytes\n", lines,
                (long long)QFileInfo(dir.filePath("answers.log")).size());

    Figures analyse, csv, xlsx, total;
    for (int r = 0; r < repetitions; ++r) {
        QElapsedTimer clock;
        clock.start();
        const std::optional<std::string> log = reports::readAnswerLog();
        const reports::ItemAnalysis analysis = reports::analyseItems(*log);
        const reports::Table table = reports::itemsExport(analysis);
        analyse.add(clock);
        clock.restart();
        reports::exportTable(table, dir.filePath(QStringLiteral("items.csv")));
        csv.add(clock);
        clock.restart();
        reports::exportTable(table, dir.filePath(QStringLiteral("items.xlsx")));
        xlsx.add(clock);
        total.ms.push_back(analyse.ms.back() + std::max(csv.ms.back(), xlsx.ms.back()));
        if (r == 0)
            std::printf("tests %zu, lines read %lld, skipped %lld, runs of test1 %lld\n",
                        analysis.tests.size(), analysis.lines, analysis.skipped, analysis.tests.front().runs);
    }
    analyse.print("read + analyse + table", 0);
    csv.print("CSV written", 0);
    xlsx.print("XLSX written", 0);
    total.print("items (read, analyse, the slower export)", 2000);

    // A test of 300,000 questions, as a file could claim.
    const reports::QuestionCount bigTest = [](std::string_view) { return std::optional<int>(300000); };
    for (const int answers : {100000, 200000}) {
        const std::string log = longRun(answers);
        peakMegabytes();
        QElapsedTimer clock;
        clock.start();
        const reports::ItemAnalysis a = reports::analyseItems(log, bigTest);
        std::printf("one run of %d answers: %.1f ms, peak %.0f MB (runs %lld, questions %zu)\n", answers,
                    double(clock.nsecsElapsed()) / 1e6, peakMegabytes(), a.tests.front().runs,
                    a.tests.front().items.size());
    }
    for (const int far : {40, 300, 100000}) {
        const std::string log = farQuestions(far);
        peakMegabytes();
        QElapsedTimer clock;
        clock.start();
        const reports::ItemAnalysis a = reports::analyseItems(log, reports::courseQuestionCount);
        std::printf("%d lines of question 999999 (%zu bytes): %.1f ms, peak %.0f MB, skipped %lld\n", far,
                    log.size(), double(clock.nsecsElapsed()) / 1e6, peakMegabytes(), a.skipped);
    }
    return 0;
}
