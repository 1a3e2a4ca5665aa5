#pragma once
// Item analysis of the answer log "answers.log" (lines "name | time | date | test | question |
// chosen 1-5 | 1 or 0"): per test and question the number of answers, the share right, the
// discrimination index and how often each answer of the file was chosen.
//
// A run is a sequence of lines of one name and one test: a line continues the run last begun by
// its name and test, unless its question was already answered in that run (a new run goes back to
// its first question, or, with drawn questions, to any question asked before), when it begins a
// new run. Lines of other students in between (several computers share one log) do not break a
// run. A run's score is its share of right answers. The runs of a test are ranked by score (ties
// in log order); the upper and lower groups are the best and the worst 27 % of them (rounded, at
// least one run each when the test has two runs or more). A question's discrimination index is
// its share right among the answers of the upper group minus that among the lower group; it is
// unknown when either group has no answer to the question.
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reports/table_export.h"

namespace ortavia::reports {

struct ItemFigures {
    int question = 0;
    long long answers = 0, right = 0;
    std::array<long long, 5> chosen{}; // answers 1 ... 5 of the file (A ... E)
    std::optional<double> discrimination;
    double shareRight() const { return answers ? double(right) / double(answers) : 0.0; }
    bool tooEasy() const { return answers && shareRight() > 0.9; }
    bool tooHard() const { return answers && shareRight() < 0.2; }
    bool flagged() const { return tooEasy() || tooHard() || (discrimination && *discrimination < 0); }
};

struct TestItems {
    std::string test; // as the log writes it ("test3"), code page
    long long runs = 0;
    std::vector<ItemFigures> items; // in question order
};

struct ItemAnalysis {
    std::vector<TestItems> tests; // test1, test2 ... test10 in number order, others after by name
    long long lines = 0;          // lines of seven fields read
    long long skipped = 0;        // other lines, blank ones and those of a question the test lacks included
};

// The questions a test holds, or nullopt when its file cannot be read.
using QuestionCount = std::function<std::optional<int>(std::string_view test)>;

// The highest question a line may name for a test whose file cannot be read.
inline constexpr int kUnreadTestQuestions = 1000;

// A line whose question lies outside 1 ... the test's question count is skipped like a broken one.
// Time and memory follow the log's length only.
ItemAnalysis analyseItems(std::string_view log, const QuestionCount& questionCount = {});

// The question count of a course test (test1 ... test12) read from the course folder that is the
// current directory; nullopt for other names and for files that cannot be read.
std::optional<int> courseQuestionCount(std::string_view test);

// The content of the course's answer log, or nullopt when there is none yet. Throws Error
// (Russian) when it cannot be read.
std::optional<std::string> readAnswerLog();

// The questions of a test sorted by share right (lowest first, then by number).
std::vector<const ItemFigures*> byShareRight(const TestItems& test);

// Every test and question as one table (the file of "ortavia-tests items").
Table itemsExport(const ItemAnalysis& analysis);

} // namespace ortavia::reports
