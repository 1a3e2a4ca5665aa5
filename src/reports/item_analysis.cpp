#include "reports/item_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "reports/journal_stats.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "testing/options.h"
#include "testing/testing.h"

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
    std::uint64_t firstAnswered = 0; // bit q - 1 for each question q <= 64 answered in the run
    double score() const { return answered ? double(right) / answered : 0.0; }
};

struct Answer {
    std::uint32_t run, item;
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

// An index of 64-bit keys (never ~0) by open addressing: one array, no allocation per key, which
// matters for the millions of lines of a term.
class FlatIndex {
public:
    // The value of key; a new key gets value. second: the key was new.
    std::pair<std::uint32_t, bool> tryEmplace(std::uint64_t key, std::uint32_t value) {
        if ((size_ + 1) * 2 > slots_.size())
            grow();
        for (std::size_t i = spread(key) & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[i];
            if (slot.key == key)
                return {slot.value, false};
            if (slot.key == kEmpty) {
                slot = {key, value};
                ++size_;
                return {value, true};
            }
        }
    }

private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t(0);
    struct Slot {
        std::uint64_t key = kEmpty;
        std::uint32_t value = 0;
    };
    static std::size_t spread(std::uint64_t k) {
        k ^= k >> 33;
        k *= 0xFF51AFD7ED558CCDULL;
        return static_cast<std::size_t>(k ^ (k >> 33));
    }
    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        size_ = 0;
        for (const Slot& slot : old)
            if (slot.key != kEmpty)
                tryEmplace(slot.key, slot.value);
    }
    std::vector<Slot> slots_;
    std::size_t size_ = 0;
};

// One number of two: a test or run index and a question.
std::uint64_t packed(std::uint32_t a, int question) {
    return std::uint64_t(a) << 32 | static_cast<std::uint32_t>(question);
}

QString fromCodePage(std::string_view text) {
    return QString::fromStdString(cp::toUtf8(text));
}

} // namespace

ItemAnalysis analyseItems(std::string_view log, const QuestionCount& questionCount) {
    ItemAnalysis result;
    // Every table grows with the lines read, never with the numbers they hold.
    struct Test {
        std::string_view name;
        int questions; // the highest question a line may name
        long long runs = 0;
    };
    std::unordered_map<std::string_view, std::uint32_t> testIndex;
    std::vector<Test> tests;
    FlatIndex itemIndex; // (test, question) -> item
    std::vector<std::uint32_t> itemTest;
    std::vector<ItemFigures> items;
    std::unordered_map<Key, std::uint32_t, KeyHash> openRun;
    FlatIndex answeredInRun; // (run, question) of the questions above 64
    std::vector<Run> runs;
    std::vector<Answer> answers;

    forEachLine(log, [&](std::string_view text) {
        const std::optional<LogLine> line = splitLogLine(text);
        if (!line) {
            ++result.skipped;
            return;
        }
        auto [t, newTest] = testIndex.try_emplace(line->test, static_cast<std::uint32_t>(tests.size()));
        if (newTest) {
            const std::optional<int> count = questionCount ? questionCount(line->test) : std::nullopt;
            tests.push_back(Test{line->test, count ? *count : kUnreadTestQuestions});
        }
        if (line->question > tests[t->second].questions) {
            ++result.skipped;
            return;
        }
        ++result.lines;
        const auto [item, newItem] =
            itemIndex.tryEmplace(packed(t->second, line->question), static_cast<std::uint32_t>(items.size()));
        if (newItem) {
            items.push_back(ItemFigures{});
            items.back().question = line->question;
            itemTest.push_back(t->second);
        }
        ItemFigures& figures = items[item];
        ++figures.answers;
        figures.right += line->right;
        ++figures.chosen[static_cast<std::size_t>(line->chosen - 1)];

        // Whether the run already holds the question: a bit of the run for the usual numbers, the
        // index for the others.
        const auto firstTime = [&](std::uint32_t r) {
            if (line->question > 64)
                return answeredInRun.tryEmplace(packed(r, line->question), 0).second;
            const std::uint64_t bit = std::uint64_t(1) << (line->question - 1);
            const bool first = !(runs[r].firstAnswered & bit);
            runs[r].firstAnswered |= bit;
            return first;
        };
        auto [open, fresh] = openRun.try_emplace(Key{line->name, line->test}, 0);
        if (fresh || !firstTime(open->second)) {
            open->second = static_cast<std::uint32_t>(runs.size());
            runs.push_back(Run{t->second, 0, 0, 0});
            firstTime(open->second);
        }
        Run& run = runs[open->second];
        ++run.answered;
        run.right += line->right;
        answers.push_back(Answer{open->second, item, line->right});
    });
    openRun = {};
    answeredInRun = {};
    itemIndex = {};

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
    std::vector<Groups> groups(items.size());
    for (const Answer& a : answers) {
        const std::uint8_t g = group[a.run];
        if (g == kMiddle)
            continue;
        Groups& q = groups[a.item];
        if (g == kUpper) {
            ++q.upper;
            q.upperRight += a.right;
        } else {
            ++q.lower;
            q.lowerRight += a.right;
        }
    }
    std::vector<TestItems> found(tests.size());
    for (std::size_t t = 0; t < tests.size(); ++t)
        found[t] = TestItems{std::string(tests[t].name), tests[t].runs, {}};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Groups& g = groups[i];
        if (g.upper && g.lower)
            items[i].discrimination =
                double(g.upperRight) / double(g.upper) - double(g.lowerRight) / double(g.lower);
        found[itemTest[i]].items.push_back(items[i]);
    }
    for (TestItems& t : found)
        std::sort(t.items.begin(), t.items.end(),
                  [](const ItemFigures& a, const ItemFigures& b) { return a.question < b.question; });
    std::sort(found.begin(), found.end(), [](const TestItems& a, const TestItems& b) {
        const int na = journalTestNumber(a.test), nb = journalTestNumber(b.test);
        if ((na == 0) != (nb == 0))
            return na != 0;
        return na != nb ? na < nb : a.test < b.test;
    });
    result.tests = std::move(found);
    return result;
}

std::optional<int> courseQuestionCount(std::string_view test) {
    // Only the names of the course's tests lead to a file.
    if (journalTestNumber(test) == 0)
        return std::nullopt;
    const std::string file = fsys::storePath(testing::testFileName(test));
    if (fsys::unreadableReason(file))
        return std::nullopt;
    try {
        return testing::questionCount(test);
    } catch (const Error&) {
        return std::nullopt;
    }
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
