#pragma once
// The teacher's options of the tests, kept in "data\info\options.ini" (plain UTF-8 INI lines
// "shuffle_answers=0|1" and "draw=0|N"), read at the start of every run; a missing file means all
// off, and a run then asks every question in file order with the answers where the file puts them.
// Also the randomness of a run (the questions drawn, the order of the answers shown) and the line
// of the answer log "answers.log".
#include <QString>
#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::testing {

class TestSnapshot;

inline constexpr std::string_view kOptionsFile = "data\\info\\options.ini";
inline constexpr std::string_view kAnswerLog = "answers.log";

struct Options {
    bool shuffleAnswers = false;
    int draw = 0; // questions a run asks, drawn at random; 0: all of them in file order
    bool operator==(const Options&) const = default;
};

// Parses the lines of the options file. Blank lines, lines starting with ";" or "#" and section
// headers are passed over, and so are unknown keys; a known key with a bad value throws Error
// (Russian) naming the line.
Options parseOptions(const std::vector<std::string>& lines);

// The options of the course folder (the current directory); all off when the file is missing.
// Throws Error when it cannot be read or holds a bad value.
Options readOptions();

// Writes the options with one atomic replacement, keeping the file's other lines. Throws Error and
// leaves the old file whole on failure.
void writeOptions(const Options& options);

// The engine of a run's draws, seeded once from std::random_device.
std::mt19937& randomEngine();

// The questions of a run: with draw = 0 all of 1 ... count in order; otherwise min(draw, count)
// questions drawn without repetition, in random order, in time and memory that follow the questions
// drawn and not count.
std::vector<int> questionsToAsk(int count, int draw, std::mt19937& engine);

// The questions a run of the test asks when the teacher's draw is on (draw > 0): drawn among the
// questions the test file holds (all 1 ... count when it holds none of them), never among numbers
// a count merely claims, so that time and memory are bounded by the file. Empty when draw is 0.
std::vector<int> drawnQuestions(const TestSnapshot& test, int count, int draw, std::mt19937& engine);

// Which answer of the file (1 ... 5) each place A ... E shows: in file order, or shuffled.
std::array<int, 5> answerOrder(bool shuffle, std::mt19937& engine);

// An answer text without a letter prefix "A)" ... "E)" (Latin or Cyrillic look-alike letters, either
// case) and the blanks after it; other texts unchanged.
QString withoutLetterPrefix(const QString& text);

// "name | time | date | test | question | chosen (1-5) | 1 or 0"
std::string answerLogLine(std::string_view name, std::string_view time, std::string_view date,
                          std::string_view testName, int question, int chosen, bool right);

} // namespace ortavia::testing
