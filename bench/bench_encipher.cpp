// The test encipher tool's conversion of a source of 1,000 questions: reading the source,
// converting it and writing the test file as one atomic change, into a new file and over an
// existing one. The conversion must take at most 1 s; the exit status says whether it did.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "store/codepage.h"
#include "store/fsys.h"
#include "store/textfile.h"
#include "testing/encipher.h"

using namespace ortavia;
namespace enc = testing::encipher;

namespace {

constexpr int kQuestions = 1000;
constexpr int kRounds = 7;
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
};

Figures measure(const std::string& sourcePath, bool fresh) {
    std::vector<double> t;
    for (int r = 0; r < kRounds; ++r) {
        if (fresh)
            QDir().remove(QStringLiteral("Bench.ini"));
        enc::Working working;
        const auto start = std::chrono::steady_clock::now();
        const enc::Outcome o = enc::encipherFile(sourcePath, "Bench", working);
        t.push_back(seconds(std::chrono::steady_clock::now() - start));
        if (o.result.questions != kQuestions) {
            std::fprintf(stderr, "wrong question count %d\n", o.result.questions);
            std::exit(2);
        }
    }
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t.back()};
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 2;
    const std::string path = fsys::currentDirectory() + "/source.txt";
    const std::string content = source(kQuestions);
    textfile::replace(path, content);

    const Figures fresh = measure(path, true);
    const Figures over = measure(path, false);
    const auto size = QFileInfo(QStringLiteral("Bench.ini")).size();
    std::printf("source: %d questions, %zu bytes; test file %lld bytes\n", kQuestions, content.size(),
                static_cast<long long>(size));
    std::printf("encipher into a new file:       median %.3f s, worst %.3f s (%d rounds)\n", fresh.median,
                fresh.worst, kRounds);
    std::printf("encipher over an existing file: median %.3f s, worst %.3f s (%d rounds)\n", over.median,
                over.worst, kRounds);
#if defined(__OPTIMIZE__)
    std::printf("build: optimised\n");
#else
    std::printf("build: not optimised (no CMAKE_BUILD_TYPE); the figures of a release build are far lower\n");
#endif
    const bool ok = fresh.worst <= kLimitSeconds && over.worst <= kLimitSeconds;
    std::printf("limit %.1f s: %s\n", kLimitSeconds, ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
