#pragma once
// A test run kept apart from any window: the lab server holds one per student taking a test. It
// reads the whole test file once at its start (the teacher's draw and shuffle applied then), takes
// the answers one by one, each with the number of the question it answers, and at the end grades,
// writes the journal line and the student's record. The lines it writes are those of the test
// screen: one answer-log line per answer, one journal line and the twelve grades at the end.
#include <QJsonObject>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "testing/options.h"

namespace ortavia::testing {

using Grades = std::array<std::uint8_t, 12>;

// What the student sees of a question: never its right answer.
struct ShownQuestion {
    int number = 0; // 1 ... count: the n of "n из N"
    int count = 0;
    std::string text;                   // code page
    std::array<std::string, 5> answers; // places A ... E as shown; an empty one is not shown
};

// A code page text kept byte for byte in a saved record: each byte as the character of its value
// (U+0000 ... U+00FF), so that every byte comes back as it was. keptBytes throws Error for a value
// that is no such text.
QString keptText(std::string_view bytes);
std::string keptBytes(const QJsonValue& value);

class Run {
public:
    // Reads the test of the course in the current directory. Throws Error (Russian) when the file is
    // missing or unreadable, or its question count cannot be graded.
    Run(std::string testName, std::string userName, const Options& options, std::mt19937& engine);

    const std::string& testName() const { return test_; }
    const std::string& userName() const { return user_; }
    int count() const { return static_cast<int>(questions_.size()); }
    int current() const { return current_; } // the question on screen; count() + 1 once all are answered
    bool answered() const { return current_ > count(); }
    ShownQuestion question() const; // the current one (answered(): the last one)

    enum class Taken { Next, Repeat, Last, Refused };
    // Takes the answer at place (1 ... 5) of question number n. An answer to a question already
    // answered is a repeat (a client sending again after a lost connection) and changes nothing; one
    // to a later question, or a place outside 1 ... 5, is refused. A taken answer goes to the answer
    // log at once; logProblem receives the reason when the log cannot be written (the run goes on).
    Taken answer(int n, int place, std::string* logProblem = nullptr);

    int right() const { return right_; }
    int grade() const; // once answered()

    // The end of the run: the grade into grades (the entry of the test), the journal line appended
    // to journalName, then the twelve grades written to the student's record (unless the caller
    // writes them itself, several records at once). Throws Error when the journal or the record
    // cannot be written; what came before stays (the grade is in grades).
    void finish(std::string_view journalName, Grades& grades, bool writeRecord = true);
    bool finished() const { return finished_; }

    // The whole run as the lab server keeps it across a restart: the questions as read at the start
    // (texts, answers, right answers, the places shown), the answers taken with their question
    // numbers, the right count. restored() throws Error for a record it cannot use.
    QJsonObject saved() const;
    QJsonObject progress() const; // the part of saved() that an answer changes
    static std::unique_ptr<Run> restored(const QJsonObject& record);

private:
    Run() = default;
    struct Item {
        int fileNumber = 0;
        std::string text;
        std::array<std::string, 5> answers; // as the file holds them, 1 ... 5
        std::string right;
        std::array<int, 5> places{1, 2, 3, 4, 5}; // the answer of the file each place shows
    };
    std::string test_, user_;
    bool shuffle_ = false;
    std::vector<Item> questions_;
    std::vector<int> chosen_; // the place taken for each question answered
    int current_ = 1;
    int right_ = 0;
    bool finished_ = false;
};

} // namespace ortavia::testing
