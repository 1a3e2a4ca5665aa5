#pragma once
// Tests of the course: the enciphered test files "\data\tests\<test name>.ini", the grading
// scale, the journal line and the unlock table of the topics.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The question numbers of 1 ... count whose section the test file holds, ascending (none when the
// file cannot be read): what a drawn run chooses among, whatever the count says.
std::vector<int> heldQuestions(std::string_view testName, int count);

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
