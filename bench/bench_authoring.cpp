// Importing a 10,000-question Aiken or GIFT file (UTF-8, Kazakh and Russian text) as
// `ortavia-tests import` does: reading and converting the source to the course code page, reading
// the questions, and writing the test file as one atomic replacement. Each must take at most 1 s;
// the exit status says whether they did.
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "store/textfile.h"
#include "testing/authoring.h"

using namespace ortavia;
namespace au = testing::authoring;

namespace {

constexpr int kQuestions = 10000;
constexpr int kRounds = 5;
constexpr double kLimitSeconds = 1.0;

const char* const kQuestion = "Материалдық нүкте радиусы 2 м шеңбер бойымен 4 м/с тұрақты жылдамдықпен "
                              "қозғалады. Точка движется по окружности; ускорение равно, вопрос ";

std::string aiken() {
    std::string s;
    for (int i = 0; i < kQuestions; ++i) {
        s += std::string(kQuestion) + std::to_string(i + 1) + "\r\n";
        for (char l = 'A'; l <= 'E'; ++l)
            s += std::string(1, l) + ". " + std::to_string(i + l) + " м/с^2, жауап нұсқасы\r\n";
        s += "ANSWER: " + std::string(1, static_cast<char>('A' + i % 5)) + "\r\n\r\n";
    }
    return s;
}

std::string gift() {
    std::string s;
    for (int i = 0; i < kQuestions; ++i) {
        s += "// " + std::to_string(i + 1) + "\r\n::Q" + std::to_string(i + 1) + "::" + kQuestion +
             std::to_string(i + 1) + " {\r\n";
        for (int k = 0; k < 5; ++k)
            s += (k == i % 5 ? "=" : "~") + std::to_string(i + k) + " м/с^2, жауап нұсқасы\\: нұсқа\r\n";
        s += "}\r\n\r\n";
    }
    return s;
}

double importOnce(const std::string& sourcePath) {
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> lines = au::readSource(sourcePath);
    const au::Parsed parsed = au::parse(lines, au::detectFormat(lines));
    if (!parsed.refusals.empty() || parsed.items.size() != static_cast<std::size_t>(kQuestions)) {
        std::fprintf(stderr, "import failed: %zu questions, %zu refusals\n", parsed.items.size(),
                     parsed.refusals.size());
        std::exit(1);
    }
    textfile::replace("out.ini", au::testFileContent(parsed.items));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    bool ok = true;
    for (const auto& [name, text] :
         {std::pair<const char*, std::string>{"aiken", aiken()}, {"gift", gift()}}) {
        const std::string path = std::string("source.") + name;
        textfile::replace(path, text);
        double best = 1e9, worst = 0;
        for (int r = 0; r < kRounds; ++r) {
            const double t = importOnce(path);
            best = std::min(best, t);
            worst = std::max(worst, t);
        }
        std::printf("import %-5s %d questions (%.1f MB): best %.3f s, worst %.3f s\n", name, kQuestions,
                    static_cast<double>(text.size()) / 1e6, best, worst);
        ok = ok && worst <= kLimitSeconds;
    }
    return ok ? 0 : 1;
}
