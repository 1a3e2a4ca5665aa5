#include "reports/journal_stats.h"

#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"

namespace ortavia::reports {
namespace {

QString fromCodePage(std::string_view text) {
    return QString::fromStdString(cp::toUtf8(text));
}

// A journal grade as a number: decimal digits with an optional sign, or nullopt.
std::optional<long long> gradeNumber(std::string_view g) {
    if (g.size() == 1 && g[0] >= '0' && g[0] <= '9')
        return g[0] - '0';
    std::size_t i = (!g.empty() && (g[0] == '-' || g[0] == '+')) ? 1 : 0;
    if (i == g.size() || g.size() > 10)
        return std::nullopt;
    long long v = 0;
    for (std::size_t p = i; p < g.size(); ++p) {
        if (g[p] < '0' || g[p] > '9')
            return std::nullopt;
        v = v * 10 + (g[p] - '0');
    }
    return g[0] == '-' ? -v : v;
}

} // namespace

std::optional<JournalEntry> splitJournalLine(std::string_view line) {
    const auto f = splitFields<5>(line);
    if (!f)
        return std::nullopt;
    return JournalEntry{(*f)[0], (*f)[1], (*f)[2], (*f)[3], (*f)[4]};
}

std::optional<std::string> readJournalContent(std::string_view journalName) {
    if (journalName.empty())
        throw Error("Имя файла журнала не задано в настройках администратора.");
    const std::string real = fsys::resolve(journalName);
    int err = 0;
    const std::optional<std::string_view> content = atomicfile::readShared(real, &err);
    if (content)
        return std::string(*content);
    if (err == ENOENT)
        return std::nullopt;
    if (err == atomicfile::kNotRegular || err == EISDIR)
        throw Error(atomicfile::notRegularMessage(real));
    throw Error("Не удалось прочитать журнал \"" + real + "\": " + std::strerror(err) + ".");
}

Table journalExport(std::string_view content, JournalScan* scan) {
    Table table;
    table.title = QStringLiteral("Журнал тестов");
    table.header = QStringList{QStringLiteral("Имя"), QStringLiteral("Время"), QStringLiteral("Дата"),
                               QStringLiteral("Тест"), QStringLiteral("Оценка")};
    const JournalScan s = scanJournal(content, [&table](const JournalEntry& e) {
        Cell grade{fromCodePage(e.grade), std::nullopt};
        if (const std::optional<long long> g = gradeNumber(e.grade))
            grade.number = double(*g);
        table.rows.push_back({{fromCodePage(e.name), {}},
                              {fromCodePage(e.time), {}},
                              {fromCodePage(e.date), {}},
                              {fromCodePage(e.test), {}},
                              std::move(grade)});
    });
    if (scan)
        *scan = s;
    return table;
}

int journalTestNumber(std::string_view test) {
    if (test.size() < 5 || test.size() > 6 || test.substr(0, 4) != "test")
        return 0;
    const std::string_view d = test.substr(4);
    if (d.size() == 1)
        return d[0] >= '1' && d[0] <= '9' ? d[0] - '0' : 0;
    if (d[0] == '1' && d[1] >= '0' && d[1] <= '2')
        return 10 + (d[1] - '0');
    return 0;
}

QDate journalDateOf(std::string_view date) {
    const QString text = fromCodePage(date).trimmed();
    static const QStringList formats = [] {
        QStringList f{QLocale::system().dateFormat(QLocale::ShortFormat)};
        f << QStringLiteral("dd.MM.yyyy") << QStringLiteral("d.M.yyyy") << QStringLiteral("yyyy-MM-dd")
          << QStringLiteral("dd/MM/yyyy") << QStringLiteral("M/d/yyyy") << QStringLiteral("dd.MM.yy")
          << QStringLiteral("d.M.yy") << QStringLiteral("M/d/yy");
        return f;
    }();
    for (const QString& format : formats) {
        QDate d = QDate::fromString(text, format);
        if (!d.isValid())
            continue;
        if (!format.contains(QLatin1String("yyyy")) && d.year() < 1970)
            d = d.addYears(100); // two-digit years are of this century
        return d;
    }
    return {};
}

int TestStatistics::took() const {
    return byGrade[1] + byGrade[2] + byGrade[3] + byGrade[4] + byGrade[5];
}

int TestStatistics::passed() const {
    return byGrade[3] + byGrade[4] + byGrade[5];
}

std::optional<double> TestStatistics::passRate() const {
    if (took() == 0)
        return std::nullopt;
    return double(passed()) / took();
}

std::optional<double> TestStatistics::meanGrade() const {
    if (graded == 0)
        return std::nullopt;
    return double(gradeSum) / double(graded);
}

void addClassStatistics(Statistics& statistics, const ClassTable& table) {
    for (const StudentRow& r : table.rows) {
        if (!r.recorded)
            continue;
        ++statistics.students;
        for (std::size_t k = 0; k < kOverviewTests; ++k) {
            TestStatistics& t = statistics.tests[k];
            const std::string& g = r.grades[k];
            if (k == 0 && g == "1") {
                ++t.byGrade[0];
                ++statistics.unconfirmedTest1[r.name];
            } else if (g.size() == 1 && g[0] >= '0' && g[0] <= '5')
                ++t.byGrade[static_cast<std::size_t>(g[0] - '0')];
            else
                ++t.other;
        }
    }
}

namespace {

// The journal's share of the statistics, gathered line by line.
class JournalTally {
public:
    explicit JournalTally(Statistics& statistics) : s_(statistics) { s_.journalFound = true; }

    void add(std::string_view line) {
        const std::optional<JournalEntry> e = splitJournalLine(line);
        if (!e) {
            ++s_.journal.skipped;
            return;
        }
        ++s_.journal.read;
        // Lines are appended as tests end, so a day's lines follow one another: the map is
        // consulted only when the date changes.
        if (!lastCount_ || e->date != lastDate_) {
            auto [it, fresh] = dayIndex_.try_emplace(std::string(e->date), days_.size());
            if (fresh)
                days_.emplace_back(e->date, 0);
            lastDate_ = days_[it->second].first;
            lastCount_ = &days_[it->second].second;
        }
        ++*lastCount_;
        const int test = journalTestNumber(e->test);
        if (test < 1 || test > kOverviewTests) {
            ++s_.otherAttempts;
            return;
        }
        TestStatistics& t = s_.tests[static_cast<std::size_t>(test - 1)];
        ++t.attempts;
        if (const std::optional<long long> g = gradeNumber(e->grade)) {
            t.gradeSum += *g;
            ++t.graded;
        }
        if (test == 1 && !s_.unconfirmedTest1.empty()) {
            const auto waiting = s_.unconfirmedTest1.find(std::string(e->name));
            if (waiting != s_.unconfirmedTest1.end()) {
                t.byGrade[0] -= waiting->second;
                t.byGrade[1] += waiting->second;
                s_.unconfirmedTest1.erase(waiting);
            }
        }
    }

    void finish() {
        std::vector<DayAttempts> found;
        found.reserve(days_.size());
        for (const auto& [text, count] : days_)
            found.push_back({journalDateOf(text), fromCodePage(text), count});
        std::stable_sort(found.begin(), found.end(), [](const DayAttempts& a, const DayAttempts& b) {
            if (a.date.isValid() != b.date.isValid())
                return a.date.isValid();
            return a.date.isValid() && a.date < b.date;
        });
        // Two spellings of one day count as one day.
        for (DayAttempts& d : found) {
            if (!s_.days.empty() && d.date.isValid() && s_.days.back().date == d.date)
                s_.days.back().attempts += d.attempts;
            else
                s_.days.push_back(std::move(d));
        }
    }

private:
    Statistics& s_;
    std::unordered_map<std::string, std::size_t> dayIndex_;
    std::deque<std::pair<std::string, long long>> days_; // stays in place as it grows
    std::string_view lastDate_;
    long long* lastCount_ = nullptr;
};

} // namespace

void addJournalStatistics(Statistics& statistics, std::string_view content) {
    JournalTally tally(statistics);
    forEachLine(content, [&tally](std::string_view line) { tally.add(line); });
    tally.finish();
}

JournalRead addJournalFile(Statistics& statistics, std::string_view journalName,
                           const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    if (journalName.empty())
        throw Error("Имя файла журнала не задано в настройках администратора.");
    const std::string real = fsys::resolve(journalName);
    JournalTally tally(statistics);
    PieceLines lines(kMaxJournalLine);
    const auto add = [&tally](std::string_view line) { tally.add(line); };
    bool stopped = false;
    const int err = atomicfile::readPieces(
        real, std::size_t(1) << 20, [&](std::string_view piece, std::uint64_t done, std::uint64_t total) {
            lines.feed(piece, add);
            stopped = progress && !progress(done, total);
            return !stopped;
        });
    if (err == ENOENT) {
        statistics.journalFound = false;
        return JournalRead::Missing;
    }
    if (err == atomicfile::kNotRegular || err == EISDIR)
        throw Error(atomicfile::notRegularMessage(real));
    if (err != 0)
        throw Error("Не удалось прочитать журнал \"" + real + "\": " + std::strerror(err) + ".");
    if (!stopped)
        lines.finish(add);
    statistics.journal.skipped += lines.tooLong();
    tally.finish();
    return stopped ? JournalRead::Stopped : JournalRead::Read;
}

} // namespace ortavia::reports
