#include "testing/testing.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

#include <cerrno>

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/convert.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"

namespace ortavia::testing {

std::string testFileName(std::string_view testName) {
    std::string name = "\\data\\tests\\";
    return name.append(testName).append(".ini");
}

std::string question(std::string_view testName, int n) {
    return store::read(std::to_string(n), "q", testFileName(testName));
}

std::string answer(std::string_view testName, int n, int k) {
    return store::read(std::to_string(n), "a" + std::to_string(k), testFileName(testName));
}

std::string rightAnswer(std::string_view testName, int n) {
    return store::read(std::to_string(n), "ap", testFileName(testName));
}

std::string questionCountText(std::string_view testName) {
    return store::read("inf", "vsego", testFileName(testName));
}

namespace {

int countOf(std::string_view testName, const std::string& text) {
    int count = 0;
    try {
        count = strToInt(text);
    } catch (const Error&) {
        count = 0;
    }
    if (count < 1)
        throw Error("В тесте " + cp::toUtf8(testName) + " число вопросов (vsego) записано неверно: \"" +
                    cp::toUtf8(text) + "\". Тест не может быть оценен; сообщите администратору.");
    return count;
}

} // namespace

int questionCount(std::string_view testName) {
    return countOf(testName, questionCountText(testName));
}

std::optional<std::string> testFileRefusal(std::string_view testName) {
    const std::string file = fsys::storePath(testFileName(testName));
    const std::optional<std::string> why = fsys::unreadableReason(file);
    if (!why)
        return std::nullopt;
    const std::string shown = fsys::displayName(file);
    if (!fsys::exists(file))
        return "Файл теста \"" + shown + "\" не найден. Тест не может быть начат; сообщите администратору.";
    return "Файл теста \"" + shown + "\" не читается (" + *why +
           "). Тест не может быть начат; сообщите администратору.";
}

TestSnapshot::TestSnapshot()
    : content_(std::make_unique<const std::string>()), sections_(std::make_unique<const ini::Sections>("")) {}

TestSnapshot::TestSnapshot(std::string_view testName) : name_(testName) {
    const std::string real = fsys::resolve(fsys::storePath(testFileName(testName)));
    int err = 0;
    const std::optional<std::string_view> bytes = atomicfile::readShared(real, &err);
    if (!bytes && (err == atomicfile::kNotRegular || err == EISDIR))
        throw Error(atomicfile::notRegularMessage(real));
    content_ = std::make_unique<const std::string>(bytes.value_or(std::string_view()));
    sections_ = std::make_unique<const ini::Sections>(*content_);
}

std::string TestSnapshot::read(const std::string& section, std::string_view key) const {
    return store::crypt(sections_->read(section, key, store::kDefaultText));
}

std::string TestSnapshot::question(int n) const {
    return read(std::to_string(n), "q");
}

std::string TestSnapshot::answer(int n, int k) const {
    return read(std::to_string(n), "a" + std::to_string(k));
}

std::string TestSnapshot::rightAnswer(int n) const {
    return read(std::to_string(n), "ap");
}

int TestSnapshot::questionCount() const {
    return countOf(name_, read("inf", "vsego"));
}

std::vector<int> TestSnapshot::heldQuestions(int count) const {
    std::vector<int> held;
    for (const std::string_view name : ini::sectionNames(*content_)) {
        // The reads name a question's section in decimal, without sign or leading zero.
        if (name.empty() || name.size() > 10 || name[0] == '0')
            continue;
        long long n = 0;
        for (const char c : name)
            n = n >= 0 && c >= '0' && c <= '9' ? n * 10 + (c - '0') : -1;
        if (n >= 1 && n <= count)
            held.push_back(static_cast<int>(n));
    }
    std::sort(held.begin(), held.end());
    held.erase(std::unique(held.begin(), held.end()), held.end());
    return held;
}

int gradeFor(int right, int count) {
    // Compared in integers, so that 4 of 5 is exactly 80 %.
    const long long p = 100LL * right;
    const long long c = count;
    if (p >= 80 * c)
        return 5;
    if (p >= 60 * c)
        return 4;
    if (p >= 40 * c)
        return 3;
    if (p >= 20 * c)
        return 2;
    return 1;
}

int entryNumber(std::string_view testName) {
    if (testName.size() == 5)
        return testName[4] - '0';
    if (testName.size() == 6)
        return 10 + (testName[5] - '0');
    return 0;
}

std::string journalLine(std::string_view name, std::string_view time, std::string_view date,
                        std::string_view testName, int grade) {
    std::string line;
    line.append(name).append(" | ").append(time).append(" | ").append(date).append(" | ");
    line.append(testName).append(" | ").append(std::to_string(grade));
    return line;
}

namespace {

std::string inCodePage(const QString& text) {
    return cp::fromUtf8(text.toStdString()).value_or(text.toLatin1().toStdString());
}

} // namespace

std::string journalTime() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')); // the time zone
    format = format.trimmed();
    return inCodePage(QLocale::system().toString(QTime::currentTime(), format));
}

std::string journalDate() {
    return inCodePage(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
}

const std::vector<UnlockRow>& unlockTable() {
    static const std::vector<UnlockRow> table = {
        {"test1", {"3", "n2", "test2"}},   {"test2", {"3", "n3", "test3"}},
        {"test3", {"3", "n33", "test4"}},  {"test4", {"3", "n34", "test5"}},
        {"test5", {"3", "n39", "test6"}},  {"test6", {"3", "n312", "test7"}},
        {"test7", {"3", "n313", "test8"}}, {"test8", {"3", "n81", "test9"}},
        {"test9", {"3", "n4", "test10"}},
    };
    return table;
}

const UnlockRow* unlockRowFor(std::string_view testName) {
    for (const UnlockRow& r : unlockTable())
        if (testName == r.test)
            return &r;
    return nullptr;
}

} // namespace ortavia::testing
