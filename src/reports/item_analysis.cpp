#include "reports/item_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "reports/journal_stats.h"
#include "store/codepage.h"
#include "testing/options.h"

namespace ortavia::reports {
namespace {

struct LogLine {
    std::string_view name, test;
    int question = 0, chosen = 0;
    bool right = false;
};

// A whole number of 1 ... 999999 in decimal digits, or 0.
int positive(std::string_view s) {
    if (s.empty() || s.size() > 6)
        return 0;
    int n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::optional<LogLine> splitLogLine(std::string_view line) {
    const std::optional<std::array<std::string_view, 7>> fields = splitFields<7>(line);
    if (!fields)
        return std::nullopt;
    const std::array<std::string_view, 7>& f = *fields;
    LogLine l{f[0], f[3], positive(f[4]), positive(f[5]), f[6] == "1"};
    if (l.test.empty() || l.question == 0 || l.chosen < 1 || l.chosen > 5 || (f[6] != "0" && f[6] != "1"))
        return std::nullopt;
    return l;
}

struct Run {
    std::uint32_t test = 0;
    int answered = 0, right = 0;
    std::vector<int> questions;
    double score() const { return answered ? double(right) / answered : 0.0; }
};

struct Answer {
    std::uint32_t run;
    int question;
    bool right;
};

struct Key {
    std::string_view name, test;
    bool operator==(const Key&) const = default;
};

struct KeyHash {
    std::size_t operator()(const Key& k) const {
        const std::hash<std::string_view> h;
        return h(k.name) * 31 + h(k.test);
    }
};

QString fromCodePage(std::string_view text) {
    return QString::fromStdString(cp::toUtf8(text));
}

} // namespace

ItemAnalysis analyseItems(std::string_view log) {
    ItemAnalysis result;
    std::unordered_map<std::string_view, std::uint32_t> testIndex;
    std::vector<TestItems> tests;
    std::unordered_map<Key, std::uint32_t, KeyHash> openRun;
    std::vector<Run> runs;
    std::vector<Answer> answers;

    forEachLine(log, [&](std::string_view text) {
        const std::optional<LogLine> line = splitLogLine(text);
        if (!line) {
            ++result.skipped;
            return;
        }
        ++result.lines;
        auto [t, newTest] = testIndex.try_emplace(line->test, static_cast<std::uint32_t>(tests.size()));
        if (newTest)
            tests.push_back(TestItems{std::string(line->test), 0, {}});
        TestItems& test = tests[t->second];
        if (static_cast<int>(test.items.size()) < line->question)
            test.items.resize(static_cast<std::size_t>(line->question));
        ItemFigures& item = test.items[static_cast<std::size_t>(line->question - 1)];
        item.question = line->question;
        ++item.answers;
        item.right += line->right;
        ++item.chosen[static_cast<std::size_t>(line->chosen - 1)];

        auto [open, fresh] = openRun.try_emplace(Key{line->name, line->test}, 0);
        if (fresh || std::find(runs[open->second].questions.begin(), runs[open->second].questions.end(),
                               line->question) != runs[open->second].questions.end()) {
            open->second = static_cast<std::uint32_t>(runs.size());
            runs.push_back(Run{t->second, 0, 0, {}});
        }
        Run& run = runs[open->second];
        ++run.answered;
        run.right += line->right;
        run.questions.push_back(line->question);
        answers.push_back(Answer{open->second, line->question, line->right});
    });

    // The upper and lower groups of each test's runs.
    enum : std::uint8_t { kMiddle, kUpper, kLower };
    std::vector<std::uint8_t> group(runs.size(), kMiddle);
    std::vector<std::vector<std::uint32_t>> runsOf(tests.size());
    for (std::uint32_t r = 0; r < runs.size(); ++r)
        runsOf[runs[r].test].push_back(r);
    for (std::size_t t = 0; t < tests.size(); ++t) {
        std::vector<std::uint32_t>& list = runsOf[t];
        tests[t].runs = static_cast<long long>(list.size());
        if (list.size() < 2)
            continue;
        std::stable_sort(list.begin(), list.end(), [&runs](std::uint32_t a, std::uint32_t b) {
            return runs[a].score() > runs[b].score();
        });
        const std::size_t g =
            std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(0.27 * double(list.size()))));
        for (std::size_t i = 0; i < g; ++i) {
            group[list[i]] = kUpper;
            group[list[list.size() - 1 - i]] = kLower;
        }
    }
    struct Groups {
        long long upper = 0, upperRight = 0, lower = 0, lowerRight = 0;
    };
    std::vector<std::vector<Groups>> groups(tests.size());
    for (std::size_t t = 0; t < tests.size(); ++t)
        groups[t].resize(tests[t].items.size());
    for (const Answer& a : answers) {
        const std::uint8_t g = group[a.run];
        if (g == kMiddle)
            continue;
        Groups& q = groups[runs[a.run].test][static_cast<std::size_t>(a.question - 1)];
        if (g == kUpper) {
            ++q.upper;
            q.upperRight += a.right;
        } else {
            ++q.lower;
            q.lowerRight += a.right;
        }
    }
    for (std::size_t t = 0; t < tests.size(); ++t) {
        std::vector<ItemFigures> asked;
        for (std::size_t q = 0; q < tests[t].items.size(); ++q) {
            ItemFigures& item = tests[t].items[q];
            if (!item.answers)
                continue;
            const Groups& g = groups[t][q];
            if (g.upper && g.lower)
                item.discrimination =
                    double(g.upperRight) / double(g.upper) - double(g.lowerRight) / double(g.lower);
            asked.push_back(item);
        }
        tests[t].items = std::move(asked);
    }
    std::sort(tests.begin(), tests.end(), [](const TestItems& a, const TestItems& b) {
        const int na = journalTestNumber(a.test), nb = journalTestNumber(b.test);
        if ((na == 0) != (nb == 0))
            return na != 0;
        return na != nb ? na < nb : a.test < b.test;
    });
    result.tests = std::move(tests);
    return result;
}

std::optional<std::string> readAnswerLog() {
    return readJournalContent(testing::kAnswerLog);
}

std::vector<const ItemFigures*> byShareRight(const TestItems& test) {
    std::vector<const ItemFigures*> list;
    for (const ItemFigures& item : test.items)
        list.push_back(&item);
    std::stable_sort(list.begin(), list.end(), [](const ItemFigures* a, const ItemFigures* b) {
        return a->right * b->answers < b->right * a->answers;
    });
    return list;
}

Table itemsExport(const ItemAnalysis& analysis) {
    Table table;
    table.title = QStringLiteral("Анализ вопросов");
    table.header = QStringList{QStringLiteral("Тест"),
                               QStringLiteral("Вопрос"),
                               QStringLiteral("Ответов"),
                               QStringLiteral("Доля верных"),
                               QStringLiteral("Дискриминация"),
                               QStringLiteral("A"),
                               QStringLiteral("B"),
                               QStringLiteral("C"),
                               QStringLiteral("D"),
                               QStringLiteral("E"),
                               QStringLiteral("Пересмотреть")};
    const auto number = [](double v, int decimals) { return Cell{QString::number(v, 'f', decimals), v}; };
    for (const TestItems& test : analysis.tests)
        for (const ItemFigures& item : test.items) {
            std::vector<Cell> row{{fromCodePage(test.test), {}},
                                  number(item.question, 0),
                                  number(double(item.answers), 0),
                                  number(item.shareRight(), 3),
                                  item.discrimination ? number(*item.discrimination, 3)
                                                      : Cell{QString(), {}}};
            for (const long long c : item.chosen)
                row.push_back(number(double(c), 0));
            row.push_back({item.flagged() ? QStringLiteral("да") : QString(), {}});
            table.rows.push_back(std::move(row));
        }
    return table;
}

} // namespace ortavia::reports
