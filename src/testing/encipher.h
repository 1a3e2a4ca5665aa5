#pragma once
// The test encipher tool's conversion: a plain question file (code page text, one line after
// another) becomes the enciphered test file "\<test name>.ini" under the current directory.
//
// Each source line is one of: an empty line; an answer line, whose first two characters are "A)"
// to "E)" (Latin capitals); the separator "********"; a question line (any other line). A star as
// the very last character of a line other than the separator marks the right answer: the first
// character of that line, "A" to "E", sets the right-answer digit "1" to "5", and on an answer line
// the star is stored as a blank. The working values (question, five answers, digit, section
// number) are carried from line to line, from question to question and from one conversion to the
// next. From the first question line on, every line writes the seven working values into the
// section of the current question; lines before it write nothing. At the end "vsego" in section
// "inf" gets the number of question lines.
//
// The one-by-one writes are what the conversion means; the tool makes them as one atomic change of
// the output file (the store's batch form), with exactly the bytes the one-by-one writes give.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::testing::encipher {

inline constexpr std::string_view kSeparator = "********";
inline constexpr std::array<std::string_view, 7> kKeys = {"q", "a1", "a2", "a3", "a4", "a5", "ap"};

// The window's initial texts of the test name and source path fields (UTF-8).
inline constexpr std::string_view kNameHint = "Введите название теста (Test1-Test10)";
inline constexpr std::string_view kSourceHint = "Щелкните здесь мышкой и выберите файл теста";

// The working values of the tool, kept from one conversion to the next by the window. All empty
// before the first conversion.
struct Working {
    std::string question;               // Edit1
    std::array<std::string, 5> answers; // Edit2 ... Edit6: answers A ... E
    std::string right;                  // Edit7: "1" ... "5"
    std::string number;                 // Edit8: the section written

    // The seven values in the order of kKeys.
    std::array<std::string, 7> values() const;
    bool operator==(const Working&) const = default;
};

enum class LineKind { Empty, Answer, Separator, Question };
LineKind kindOf(std::string_view line);

// Applies one source line to the working values; counter is the number of question lines so far.
LineKind step(std::string_view line, Working& working, int& counter);

// One store write.
struct Write {
    std::string section;
    std::string key;
    std::string value;
    bool operator==(const Write&) const = default;
};

// Something in the source that the conversion carries out as its rules say but that a teacher
// will want to know (UTF-8 text naming the line).
struct Note {
    int line; // 1-based
    std::string text;
};

// The conversion's result: the values each section holds at the end, in section order (section
// k is sections[k - 1]), and the number of question lines.
struct Result {
    int questions = 0;
    int lines = 0;
    std::vector<std::array<std::string, 7>> sections;
    std::vector<Note> notes;
};

// The conversion of a whole source. Pure: working is advanced as the lines say.
Result convert(const std::vector<std::string>& lines, Working& working);

// The one-by-one writes of a source, in order: seven per line from the first question line on,
// then "vsego". onLine, when given, is called after each line with the question-line counter.
std::vector<Write> writeSequence(const std::vector<std::string>& lines, Working& working,
                                 const std::function<void(int counter)>& onLine = {});

// The writes of a result as the batch makes them: each section's seven values once, then "vsego".
std::vector<Write> batchWrites(const Result& result);

// Why the source cannot be converted (UTF-8 message), or an empty text: no question line, a line
// the store cannot keep whole (a byte whose cipher image ends or breaks the stored line, or more
// than 2047 bytes), or NUL bytes (UTF-16 text without a byte-order mark). The lines are code page
// text: authoring::readSource has converted a UTF-8 or UTF-16 source already.
std::string sourceRefusal(const std::vector<std::string>& lines);

// Why a test name cannot name the output file (UTF-8 message), or an empty text. The name must be
// a plain file name of the current directory: not empty, not the hint text, without '/', '\\',
// "..", control characters or blanks at its ends, and not "users" (the user records).
std::string nameRefusal(std::string_view testName);

// "\" + test name + ".ini".
std::string outputFileName(std::string_view testName);

// The writes of one conversion to a store file. Both throw Error with a clear message.
// writeBatch: one atomic change; a failure leaves the old file whole.
void writeBatch(const std::vector<Write>& writes, std::string_view fileName);
// writeOneByOne: one store write each; a failure keeps what was written before it.
void writeOneByOne(const std::vector<Write>& writes, std::string_view fileName);

// The whole conversion as the tool runs it: reads the source (a code page path; UTF-8, UTF-16 with
// a byte-order mark or code page text, see authoring::readSource), refuses what
// cannot be converted, converts, writes the output file "\<test name>.ini" of the current
// directory as one atomic change and then, only then, advances the working values. Throws Error
// (nothing written, working values unchanged) on every failure.
struct Outcome {
    Result result;
    std::string outputPath; // as shown to the user (UTF-8)
};
Outcome encipherFile(std::string_view sourcePath, std::string_view testName, Working& working);

// ---------------------------------------------------------------------------------------------
// Reading a test file back as the test run reads it (store file name, e.g. "\Test1.ini").

struct Question {
    int number = 0;
    std::string text;                   // code page
    std::array<std::string, 5> answers; // code page
    std::string right;                  // code page
    std::array<bool, 7> missing{};      // per key of kKeys
};

struct TestFile {
    bool exists = false;
    std::string vsegoText; // deciphered as the run reads it
    bool vsegoMissing = false;
    int count = 0;                   // vsego as a number, 0 when it is not a whole number of at least 1
    std::vector<Question> questions; // 1 ... count (or the sections present when count is 0)
    bool stopped = false;            // the check stopped at its 100th problem; more may follow
};

// Every problem that keeps a test file from being run as its author meant (UTF-8 lines): a missing
// or unreadable file, a missing or non-numeric "vsego", a missing section or key, "ap" outside
// "1" ... "5", a value that a read cuts at 2047 bytes. Empty for a sound file. At most 100 problems
// are named (TestFile::stopped then says so). Also gives the content read, when asked.
std::vector<std::string> checkFile(std::string_view fileName, TestFile* content = nullptr);
// The same check of the bytes of a test file (which exists).
std::vector<std::string> checkContent(std::string_view content, TestFile* file = nullptr);

} // namespace ortavia::testing::encipher
