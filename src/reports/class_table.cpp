#include "reports/class_table.h"

#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "accounts/accounts.h"
#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/convert.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"
#include "store/textfile.h"

namespace ortavia::reports {
namespace {

// The keys of a record the overview uses: the password (index 0) and test1 ... test10.
using RecordKeys = std::array<std::optional<std::string_view>, kOverviewTests + 1>;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Index of a key in RecordKeys, or -1 for a key the overview does not use.
int keyIndex(std::string_view key) {
    if (key.size() == 8 && cp::equalsNoCase(key, "password"))
        return 0;
    if ((key.size() != 5 && key.size() != 6) || !cp::startsWithNoCase(key, "test"))
        return -1;
    const std::string_view digits = key.substr(4);
    if (digits == "10")
        return 10;
    if (digits.size() == 1 && digits[0] >= '1' && digits[0] <= '9')
        return digits[0] - '0';
    return -1;
}

// The record file gone through once, as the INI layer reads it: sections named without regard to
// letter case, only the first section of a name and the first key of a name in it counting,
// values verbatim up to their first NUL and at most ini::kMaxValue bytes.
std::unordered_map<std::string, RecordKeys> sectionsOf(std::string_view c) {
    std::unordered_map<std::string, RecordKeys> sections;
    RecordKeys* current = nullptr;
    std::size_t pos = 0;
    const std::size_t n = c.size();
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && c[end] != '\r' && c[end] != '\n')
            ++end;
        const std::string_view line = c.substr(pos, end - pos);
        pos = end < n && c[end] == '\r' && end + 1 < n && c[end + 1] == '\n' ? end + 2 : end + 1;

        std::size_t p = 0;
        while (p < line.size() && isBlank(line[p]))
            ++p;
        if (p == line.size() || line[p] == ';')
            continue;
        if (line[p] == '[') {
            const std::string_view inner = line.substr(p + 1);
            auto [it, fresh] = sections.try_emplace(cp::foldCase(trim(inner.substr(0, inner.find(']')))));
            current = fresh ? &it->second : nullptr; // a later section of the same name is never read
            continue;
        }
        if (!current)
            continue;
        const std::size_t eq = line.find('=', p);
        if (eq == std::string_view::npos)
            continue;
        const int k = keyIndex(trim(line.substr(p, eq - p)));
        if (k < 0 || (*current)[static_cast<std::size_t>(k)])
            continue;
        std::string_view value = line.substr(eq + 1);
        value = value.substr(0, value.find('\0'));
        (*current)[static_cast<std::size_t>(k)] = value.substr(0, ini::kMaxValue);
    }
    return sections;
}

// The grade as the program takes it, or nothing when the text is no whole number.
std::optional<int> gradeValue(std::string_view text) {
    const std::string_view t = trim(text);
    if (t.empty() || t.size() > 12)
        return std::nullopt;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (!(t[i] >= '0' && t[i] <= '9') && !(i == 0 && (t[i] == '-' || t[i] == '+')))
            return std::nullopt;
    try {
        return strToInt(text) & 0xFF;
    } catch (const Error&) {
        return std::nullopt;
    }
}

} // namespace

int ClassTable::recorded() const {
    int n = 0;
    for (const StudentRow& r : rows)
        n += r.recorded;
    return n;
}

int ClassTable::faulty() const {
    int n = 0;
    for (const StudentRow& r : rows)
        n += r.faulty;
    return n;
}

ClassTable classTableFrom(const std::vector<std::string>& userList, std::string_view recordsContent) {
    const std::unordered_map<std::string, RecordKeys> sections = sectionsOf(recordsContent);
    ClassTable table;
    table.rows.reserve(userList.size());
    std::unordered_set<std::string> listed;
    for (const std::string& name : userList) {
        if (trim(name).empty())
            continue; // an empty line of the list names nobody
        std::string folded = cp::foldCase(trim(name));
        if (!listed.insert(folded).second)
            continue;
        StudentRow row;
        row.name = name;
        const auto it = sections.find(folded);
        if (it != sections.end() && it->second[0]) {
            row.recorded = true;
            for (int k = 0; k < kOverviewTests; ++k) {
                const std::optional<std::string_view>& stored = it->second[static_cast<std::size_t>(k + 1)];
                if (!stored) {
                    row.faulty = true;
                    continue;
                }
                std::string& grade = row.grades[static_cast<std::size_t>(k)];
                store::crypt(*stored, store::kCipherKey, grade);
                const std::optional<int> value = gradeValue(grade);
                row.values[static_cast<std::size_t>(k)] = value;
                if (!value || grade.size() != 1 || grade[0] < '0' || grade[0] > '5')
                    row.faulty = true;
                if (value && *value >= 3)
                    ++row.passed;
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

ClassTable readClassTable() {
    const std::vector<std::string> users = textfile::readLinesIfExists(accounts::kUserList);
    const std::string real = fsys::resolve(fsys::storePath(accounts::kRecords));
    int err = 0;
    const std::optional<std::string_view> content = atomicfile::readShared(real, &err);
    if (!content && (err == atomicfile::kNotRegular || err == EISDIR))
        throw Error(atomicfile::notRegularMessage(real));
    if (!content && err != ENOENT)
        throw Error("Не удалось прочитать \"" + real + "\": " + std::strerror(err) + ".");
    return classTableFrom(users, content.value_or(std::string_view()));
}

std::vector<std::string> classTableHeader() {
    std::vector<std::string> header{"Студент"};
    for (int k = 1; k <= kOverviewTests; ++k)
        header.push_back("Тест " + std::to_string(k));
    header.push_back("Сдано тестов");
    return header;
}

} // namespace ortavia::reports
