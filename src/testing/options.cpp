#include "testing/options.h"

#include "testing/testing.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "store/atomicfile.h"
#include "store/error.h"
#include "store/textfile.h"

namespace ortavia::testing {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string_view keyOf(std::string_view line) {
    const std::size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : trimmed(line.substr(0, eq));
}

// A whole number of 0 ... 100000 written in decimal digits, or -1.
int smallNumber(std::string_view s) {
    if (s.empty() || s.size() > 6)
        return -1;
    int n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n <= 100000 ? n : -1;
}

} // namespace

Options parseOptions(const std::vector<std::string>& lines) {
    // A key written more than once counts by its last line, as a run and the options window both
    // read it (saving leaves one line of each key); only that line's value is checked.
    struct Last {
        int number = 0;
        std::string_view line, value;
    };
    Last shuffle, draw;
    int number = 0;
    for (const std::string& raw : lines) {
        ++number;
        std::string_view line = trimmed(raw);
        if (number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
            line = trimmed(line.substr(3));
        if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[')
            continue;
        const std::string_view key = keyOf(line);
        const Last last{number, line, trimmed(line.substr(line.find('=') + 1))};
        if (key == "shuffle_answers")
            shuffle = last;
        else if (key == "draw")
            draw = last;
    }
    const auto where = [](const Last& l) {
        return "В файле параметров тестов data\\info\\options.ini, строка " + std::to_string(l.number) +
               " (\"" + std::string(l.line) + "\"): ";
    };
    Options options;
    if (shuffle.number) {
        if (shuffle.value != "0" && shuffle.value != "1")
            throw Error(where(shuffle) + "shuffle_answers может быть только 0 или 1.");
        options.shuffleAnswers = shuffle.value == "1";
    }
    if (draw.number) {
        options.draw = smallNumber(draw.value);
        if (options.draw < 0)
            throw Error(where(draw) + "draw — это число вопросов (0 — все вопросы), от 0 до 100000.");
    }
    return options;
}

Options readOptions() {
    return parseOptions(textfile::readLinesIfExists(kOptionsFile));
}

void writeOptions(const Options& options) {
    if (options.draw < 0 || options.draw > 100000)
        throw Error("Число вопросов теста должно быть от 0 до 100000.");
    // The change is made to the file as it is now, under its lock: its other lines stay.
    atomicfile::update(kOptionsFile, atomicfile::Missing::Create,
                       [&options](const std::string* old) -> std::optional<std::string> {
                           std::vector<std::string> lines;
                           std::string_view rest = old ? std::string_view(*old) : std::string_view();
                           while (!rest.empty()) {
                               const std::size_t end = std::min(rest.find('\n'), rest.size());
                               std::string_view line = rest.substr(0, end);
                               if (!line.empty() && line.back() == '\r')
                                   line.remove_suffix(1);
                               lines.emplace_back(line);
                               rest.remove_prefix(std::min(end + 1, rest.size()));
                           }
                           const std::pair<std::string_view, std::string> values[] = {
                               {"shuffle_answers", options.shuffleAnswers ? "1" : "0"},
                               {"draw", std::to_string(options.draw)},
                           };
                           // Each key's first line takes the new value and its repeats go, so
                           // that no later line overrides what was saved.
                           for (const auto& [key, value] : values) {
                               const auto isKey = [key](const std::string& l) {
                                   return keyOf(trimmed(l)) == key;
                               };
                               const std::string line = std::string(key) + "=" + value;
                               auto it = std::find_if(lines.begin(), lines.end(), isKey);
                               if (it == lines.end()) {
                                   lines.push_back(line);
                                   continue;
                               }
                               *it = line;
                               lines.erase(std::remove_if(std::next(it), lines.end(), isKey), lines.end());
                           }
                           return textfile::joinLines(lines);
                       });
}

std::mt19937& randomEngine() {
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

std::vector<int> questionsToAsk(int count, int draw, std::mt19937& engine) {
    count = std::max(count, 0);
    if (draw <= 0) {
        std::vector<int> questions(static_cast<std::size_t>(count));
        std::iota(questions.begin(), questions.end(), 1);
        return questions;
    }
    // The first places of a shuffle of 1 ... count, with only the places a swap touched held:
    // time and memory follow the questions drawn, however large count is.
    const int take = std::min(draw, count);
    std::unordered_map<int, int> swapped; // place -> question now there
    const auto at = [&swapped](int place) {
        const auto it = swapped.find(place);
        return it == swapped.end() ? place + 1 : it->second;
    };
    std::vector<int> questions;
    questions.reserve(static_cast<std::size_t>(take));
    for (int i = 0; i < take; ++i) {
        const int j = std::uniform_int_distribution<int>(i, count - 1)(engine);
        const int chosen = at(j);
        swapped[j] = at(i);
        questions.push_back(chosen);
    }
    return questions;
}

std::vector<int> drawnQuestions(const TestSnapshot& test, int count, int draw, std::mt19937& engine) {
    if (draw <= 0)
        return {};
    const std::vector<int> held = test.heldQuestions(count);
    const int pool = held.empty() ? count : static_cast<int>(held.size());
    std::vector<int> asked = questionsToAsk(pool, draw, engine);
    if (!held.empty())
        for (int& q : asked)
            q = held[static_cast<std::size_t>(q - 1)];
    return asked;
}

std::array<int, 5> answerOrder(bool shuffle, std::mt19937& engine) {
    std::array<int, 5> order{1, 2, 3, 4, 5};
    if (shuffle)
        std::shuffle(order.begin(), order.end(), engine);
    return order;
}

QString withoutLetterPrefix(const QString& text) {
    static const QString letters = QStringLiteral("ABCDEabcdeАВСЕавсе");
    if (text.size() < 2 || text[1] != QLatin1Char(')') || !letters.contains(text[0]))
        return text;
    qsizetype i = 2;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return text.mid(i);
}

std::string answerLogLine(std::string_view name, std::string_view time, std::string_view date,
                          std::string_view testName, int question, int chosen, bool right) {
    std::string line;
    line.append(name).append(" | ").append(time).append(" | ").append(date).append(" | ");
    line.append(testName).append(" | ").append(std::to_string(question)).append(" | ");
    line.append(std::to_string(chosen)).append(" | ").append(right ? "1" : "0");
    return line;
}

} // namespace ortavia::testing
