#pragma once
// The test journal as data: its lines split into their five fields (name | time | date | test |
// grade), the journal as an exported table, and the statistics of the class: per test the
// distribution of the stored grades, the pass rate and the number of students who took it; from
// the journal the attempts per day and the mean grade per test over all attempts. A line that is
// not five " | "-separated fields is skipped and counted, never guessed at.
#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reports/class_table.h"
#include "reports/table_export.h"

namespace ortavia::reports {

struct JournalEntry {
    std::string_view name, time, date, test, grade;
};

struct JournalScan {
    std::size_t read = 0;    // lines of five fields
    std::size_t skipped = 0; // other lines, blank ones included
};

// The journal and the answer log are lines of fields joined by " | ".
inline constexpr std::string_view kFieldSeparator = " | ";

// Exactly N fields of a line, or nullopt when it holds fewer or more.
template <std::size_t N> std::optional<std::array<std::string_view, N>> splitFields(std::string_view line) {
    std::array<std::string_view, N> f;
    std::size_t pos = 0;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const std::size_t sep = line.find(kFieldSeparator, pos);
        if (sep == std::string_view::npos)
            return std::nullopt;
        f[i] = line.substr(pos, sep - pos);
        pos = sep + kFieldSeparator.size();
    }
    f[N - 1] = line.substr(pos);
    if (f[N - 1].find(kFieldSeparator) != std::string_view::npos)
        return std::nullopt;
    return f;
}

// Every line of a content (ended by CR LF, LF or CR, the last one maybe unended) handed to visit,
// without its line end, with no copy.
template <typename Visit> void forEachLine(std::string_view content, Visit&& visit) {
    std::size_t pos = 0;
    const std::size_t n = content.size();
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && content[end] != '\n' && content[end] != '\r')
            ++end;
        visit(content.substr(pos, end - pos));
        pos = end < n && content[end] == '\r' && end + 1 < n && content[end + 1] == '\n' ? end + 2 : end + 1;
    }
}

// The five fields of one line, or nullopt when it is not five fields joined by " | ".
std::optional<JournalEntry> splitJournalLine(std::string_view line);

// The lines of a text that comes in pieces, each handed to visit once its end has come (CR LF, LF or
// CR, a CR LF split between two pieces being one end), as forEachLine hands them. Only the part of
// a line that a piece left open is kept, so memory follows the longest line; a line longer than
// maxLine is not kept whole but counted.
class PieceLines {
public:
    explicit PieceLines(std::size_t maxLine) : max_(maxLine) {}

    template <typename Visit> void feed(std::string_view piece, Visit&& visit) {
        std::size_t pos = 0;
        if (afterCr_ && !piece.empty()) {
            pos = piece.front() == '\n' ? 1 : 0;
            afterCr_ = false;
        }
        while (pos < piece.size()) {
            std::size_t end = pos;
            while (end < piece.size() && piece[end] != '\n' && piece[end] != '\r')
                ++end;
            if (end == piece.size()) {
                keep(piece.substr(pos));
                return;
            }
            if (open_.empty() && !tooLongNow_) {
                if (end - pos > max_)
                    ++tooLong_;
                else
                    visit(piece.substr(pos, end - pos));
            } else {
                keep(piece.substr(pos, end - pos));
                close(visit);
            }
            pos = end + 1;
            if (piece[end] == '\r') {
                if (pos == piece.size())
                    afterCr_ = true;
                else if (piece[pos] == '\n')
                    ++pos;
            }
        }
    }

    // The last line, when the text does not end with a line end.
    template <typename Visit> void finish(Visit&& visit) {
        if (!open_.empty() || tooLongNow_)
            close(visit);
        afterCr_ = false;
    }

    std::size_t tooLong() const { return tooLong_; }

private:
    void keep(std::string_view part) {
        if (tooLongNow_)
            return;
        if (open_.size() + part.size() > max_) {
            tooLongNow_ = true;
            std::string().swap(open_);
            return;
        }
        open_.append(part);
    }
    template <typename Visit> void close(Visit&& visit) {
        if (tooLongNow_)
            ++tooLong_;
        else
            visit(std::string_view(open_));
        open_.clear();
        tooLongNow_ = false;
    }

    std::size_t max_;
    std::string open_; // the beginning of a line that the last piece left open
    bool afterCr_ = false, tooLongNow_ = false;
    std::size_t tooLong_ = 0;
};

// Every line of a journal's content handed to visit when it is five fields; the others counted.
template <typename Visit> JournalScan scanJournal(std::string_view content, Visit&& visit) {
    JournalScan scan;
    forEachLine(content, [&](std::string_view line) {
        if (const std::optional<JournalEntry> e = splitJournalLine(line)) {
            ++scan.read;
            visit(*e);
        } else {
            ++scan.skipped;
        }
    });
    return scan;
}

// The content of the journal file named in the administrator settings (a name relative to the
// current directory), or nullopt when there is no such file yet. Throws Error (Russian) when a
// folder or pipe stands in its place or it cannot be read.
std::optional<std::string> readJournalContent(std::string_view journalName);

// The journal as a table with its five fields as columns, the grade as a number.
Table journalExport(std::string_view content, JournalScan* scan = nullptr);

// The test number 1 ... 12 of a journal's test field ("test3"), or 0.
int journalTestNumber(std::string_view test);

// A journal date as the system's short date format wrote it (or a few common forms), or an
// invalid date.
QDate journalDateOf(std::string_view date);

struct TestStatistics {
    std::array<int, 6> byGrade{};           // students whose stored grade is 0 ... 5
    int other = 0;                          // recorded students whose grade is missing or out of that range
    int took() const;                       // a stored grade of 1 to 5
    int passed() const;                     // a stored grade of 3 to 5
    std::optional<double> passRate() const; // passed / took
    long long attempts = 0;                 // journal lines of this test
    long long gradeSum = 0, graded = 0;     // over the attempts whose grade is a number
    std::optional<double> meanGrade() const;
};

struct DayAttempts {
    QDate date;   // invalid when the journal's date could not be read
    QString text; // the date as the journal wrote it
    long long attempts = 0;
};

struct Statistics {
    int students = 0; // recorded students of the class
    // Registration stores "1" as the grade of test 1, so a stored "1" counts as taken only when the
    // journal holds a line of the student for test 1: until then it counts as grade 0. The names
    // (and how many rows each) whose "1" waits for such a line.
    std::unordered_map<std::string, int> unconfirmedTest1;
    std::array<TestStatistics, kOverviewTests> tests;
    std::vector<DayAttempts> days; // in date order, unreadable dates last in journal order
    JournalScan journal;
    bool journalFound = false;
    long long otherAttempts = 0; // journal lines of a test outside 1 ... 10
};

// The class first, then the journal.
void addClassStatistics(Statistics& statistics, const ClassTable& table);
void addJournalStatistics(Statistics& statistics, std::string_view content);

// The longest journal line kept; a longer one is skipped like a broken one.
inline constexpr std::size_t kMaxJournalLine = 64 * 1024;

// What reading the journal file came to.
enum class JournalRead { Missing, Read, Stopped };

// The journal file named in the administrator settings added to the statistics piece by piece, in
// memory that follows the longest line, never the file. progress(done, total) is told the bytes read
// after each piece and stops the reading when it returns false (the statistics then hold part of
// the journal). Throws Error like readJournalContent.
JournalRead addJournalFile(Statistics& statistics, std::string_view journalName,
                           const std::function<bool(std::uint64_t done, std::uint64_t total)>& progress = {});

} // namespace ortavia::reports
