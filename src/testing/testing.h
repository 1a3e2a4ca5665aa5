#pragma once
// Tests of the course: the enciphered test files "\data\tests\<test name>.ini", the grading
// scale, the journal line and the unlock table of the topics.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/ini.h"

namespace ortavia::testing {

std::string testFileName(std::string_view testName); // "\data\tests\" + name + ".ini"

// The four reads of a test file; each opens and parses the file anew.
std::string question(std::string_view testName, int n);
std::string answer(std::string_view testName, int n, int k); // k = 1 ... 5
std::string rightAnswer(std::string_view testName, int n);
std::string questionCountText(std::string_view testName);

// The question count as a run uses it: a whole number of at least 1, or an Error that says what
// is wrong with the file.
int questionCount(std::string_view testName);

// Why a run of the test cannot start because its file is missing or cannot be read (a Russian
// message naming the file), or nothing when the file can be read. One look at the file when it can
// be; only a file that cannot be is told missing or unreadable.
std::optional<std::string> testFileRefusal(std::string_view testName);

// A test as a run asks it: the whole file read once, when the run starts, and kept in memory, so
// that a test installed during the run changes nothing of it. Its reads give what the reads above
// give for the file as it was at that moment (a missing file reads as the store's default texts).
class TestSnapshot {
public:
    TestSnapshot();
    // Throws Error when a folder, pipe or device stands in the file's place.
    explicit TestSnapshot(std::string_view testName);
    std::string question(int n) const;
    std::string answer(int n, int k) const; // k = 1 ... 5
    std::string rightAnswer(int n) const;
    int questionCount() const; // as questionCount(testName)
    // The question numbers of 1 ... count whose section the file holds, ascending (none when it
    // could not be read): what a drawn run chooses among, whatever the count says.
    std::vector<int> heldQuestions(int count) const;

private:
    std::string read(const std::string& section, std::string_view key) const;
    std::string name_;
    std::unique_ptr<const std::string> content_; // the views of sections_ point into it
    std::unique_ptr<const ini::Sections> sections_;
};

// Grade 1 ... 5 for right of count answers (count >= 1), bounds included exactly:
// 80 % and more 5, 60 % 4, 40 % 3, 20 % 2, below 1.
int gradeFor(int right, int count);

// Entry of the grade array (1 ... 12) named by a test name: test1 ... test9 and test10 ... test12.
int entryNumber(std::string_view testName);

// "name | time | date | test | grade"
std::string journalLine(std::string_view name, std::string_view time, std::string_view date,
                        std::string_view testName, int grade);

// The current time and date in the system's long time format (without a time zone) and short
// date format.
std::string journalTime();
std::string journalDate();

// The unlock table: each row's first text is the row's own length in decimal, the rest are the
// component names of the commands that the governing test opens.
struct UnlockRow {
    const char* test;
    std::vector<std::string> row;
};
const std::vector<UnlockRow>& unlockTable();
const UnlockRow* unlockRowFor(std::string_view testName); // exact, letter case counts

} // namespace ortavia::testing
