// The test encipher tool's conversion and the check of a test file, for sources of 1,000, 4,000 and
// 16,000 questions: reading the source, converting it and writing the test file as one atomic
// change, into a new file and over an existing one; then checking the written file as
// `ortavia-tests check` does. Each must take at most 1 s; the exit status says whether they did.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "store/codepage.h"
#include "store/fsys.h"
#include "store/textfile.h"
#include "testing/encipher.h"

using namespace ortavia;
namespace enc = testing::encipher;

namespace {

constexpr int kSizes[] = {1000, 4000, 16000};
constexpr int kRounds = 5;
constexpr double kBudgetSeconds = 20.0; // fewer rounds for a size that is this slow
constexpr double kLimitSeconds = 1.0;

std::string cpText(const char* utf8) {
    return cp::fromUtf8(utf8).value();
}

// A source like the course's: a question line of about 160 bytes, five answers, the separator.
std::string source(int questions) {
    const std::string q =
        cpText("Материальная точка движется по окружности радиусом 2 м с постоянной по модулю "
               "скоростью 4 м/с. Модуль ускорения точки равен, вопрос номер ");
    const std::string a = cpText(" м/с^2, вариант ответа");
    std::vector<std::string> lines;
    for (int n = 1; n <= questions; ++n) {
        lines.push_back(q + std::to_string(n) + ":");
        for (int k = 0; k < 5; ++k) {
            std::string line =
                std::string(1, static_cast<char>('A' + k)) + ") " + std::to_string(n * 5 + k) + a;
            if (k == n % 5)
                line += '*';
            lines.push_back(line);
        }
        lines.push_back("********");
    }
    return textfile::joinLines(lines);
}

double seconds(const std::chrono::steady_clock::duration& d) {
    return std::chrono::duration<double>(d).count();
}

struct Figures {
    double median, worst;
    int rounds;
};

// Runs the step (after prepare, which is not timed) up to kRounds times, fewer when it is slow.
Figures measure(const std::function<void()>& prepare, const std::function<void()>& step) {
    std::vector<double> t;
    double total = 0;
    for (int r = 0; r < kRounds && (r == 0 || total < kBudgetSeconds); ++r) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        step();
        t.push_back(seconds(std::chrono::steady_clock::now() - start));
        total += t.back();
    }
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t.back(), static_cast<int>(t.size())};
}

void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::exit(2);
}

bool report(const char* what, const Figures& f) {
    std::printf("  %-32s median %7.3f s, worst %7.3f s (%d rounds)\n", what, f.median, f.worst, f.rounds);
    return f.worst <= kLimitSeconds;
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 2;
    bool ok = true;
    for (const int questions : kSizes) {
        const std::string path = fsys::currentDirectory() + "/source.txt";
        const std::string content = source(questions);
        textfile::replace(path, content);
        const auto encipher = [&] {
            enc::Working working;
            if (enc::encipherFile(path, "Bench", working).result.questions != questions)
                fail("wrong question count");
        };
        const Figures fresh = measure([] { QDir().remove(QStringLiteral("Bench.ini")); }, encipher);
        const Figures over = measure([] {}, encipher);
        const Figures check = measure([] {},
                                      [&] {
                                          enc::TestFile file;
                                          enc::checkFile("\\Bench.ini", &file);
                                          if (file.count != questions)
                                              fail("wrong count read back");
                                      });
        const auto size = QFileInfo(QStringLiteral("Bench.ini")).size();
        std::printf("%d questions: source %zu bytes, test file %lld bytes\n", questions, content.size(),
                    static_cast<long long>(size));
        ok = report("encipher into a new file:", fresh) && ok;
        ok = report("encipher over an existing file:", over) && ok;
        ok = report("check:", check) && ok;
    }
#if defined(__OPTIMIZE__)
    std::printf("build: optimised\n");
#else
    std::printf("build: not optimised (no CMAKE_BUILD_TYPE); the figures of a release build are far lower\n");
#endif
    std::printf("limit %.1f s: %s\n", kLimitSeconds, ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
