#include "accounts/accounts.h"

#include <sys/stat.h>

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/convert.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"

namespace ortavia::accounts {
namespace {

constexpr std::string_view kAlreadyRegistered =
    "Пользователь с таким именем уже зарегистрирован. Выберите другое имя.";

} // namespace

Settings parseSettings(std::string_view firstLine) {
    std::string fields[3];
    int current = 0;
    for (char c : firstLine) {
        if (c == '|')
            ++current;
        else if (current < 3)
            fields[current] += c;
    }
    return {fields[0], fields[1], fields[2]};
}

std::optional<std::string> settingsRefusal(const Settings& s, const std::vector<std::string>& userList) {
    for (const std::string* field : {&s.login, &s.password, &s.journal})
        if (field->find_first_of("|\r\n") != std::string::npos)
            return std::string(
                "Поля настроек не могут содержать символ \"|\" и переводы строки. Исправьте их.");
    if (s.login.empty())
        return std::string("Введите логин администратора.");
    if (const auto why = nameRefusal(s.login))
        return "Логин администратора не подходит: " + *why;
    const int listed = findUser(userList, s.login);
    if (listed >= 0 || hasRecord(s.login))
        return "Логин администратора совпадает с именем зарегистрированного пользователя «" +
               cp::toUtf8(listed >= 0 ? userList[static_cast<std::size_t>(listed)] : s.login) +
               "»: оценки администратора записались бы в его запись. Выберите другой логин.";
    if (const auto why = passwordRefusal(s.password))
        return why;
    if (s.journal.find_first_not_of(" \t") == std::string::npos)
        return std::string("Укажите имя файла отчёта (журнала тестирования).");
    struct stat st;
    const char last = s.journal.back();
    if (last == '\\' || last == '/' ||
        (stat(fsys::resolve(s.journal).c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
        return "«" + cp::toUtf8(s.journal) + "» — это папка. Укажите имя файла отчёта, например journal.txt.";
    return std::nullopt;
}

std::string settingsLine(const Settings& s) {
    return s.login + "|" + s.password + "|" + s.journal + "\r\n";
}

std::optional<std::string> nameRefusal(std::string_view name) {
    if (name.empty())
        return std::string("Введите имя пользователя.");
    if (name.find_first_of(std::string_view("]\r\n\0", 4)) != std::string_view::npos)
        return std::string("Имя пользователя не может содержать символ \"]\" и переводы строки.");
    if (name.find('|') != std::string_view::npos)
        return std::string("Имя пользователя не может содержать символ \"|\".");
    if (name.front() == '[' || name.front() == ';')
        return std::string("Имя пользователя не может начинаться с символа \"[\" или \";\".");
    if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
        return std::string("Имя пользователя не может начинаться или заканчиваться пробелом.");
    // Characters that show as nothing or as a plain space, and words that mix alphabets, would let
    // one name pass for another.
    // The code page's control characters, its one undefined byte (0x98), the no-break space (0xA0)
    // and the soft hyphen (0xAD); its Latin letters are the ASCII ones, its Cyrillic letters (Kazakh
    // ones included) those whose character lies in U+0400 ... U+04FF.
    bool latin = false, cyrillic = false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            latin = cyrillic = false;
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == 0x98 || c == 0xA0 || c == 0xAD)
            return std::string("Имя пользователя не может содержать управляющие символы, неразрывный пробел, "
                               "мягкий перенос и табуляцию. Разделяйте слова обычным пробелом.");
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            latin = true;
        } else if (c >= 0x80) {
            // Two-byte UTF-8 of U+0400 ... U+04FF starts with D0 ... D3.
            const std::string utf8 = cp::toUtf8(std::string_view(&ch, 1));
            const auto lead = static_cast<unsigned char>(utf8[0]);
            cyrillic = cyrillic || (utf8.size() == 2 && lead >= 0xD0 && lead <= 0xD3);
        }
        if (latin && cyrillic)
            return std::string("В одном слове имени смешаны латинские и русские (казахские) буквы. "
                               "Наберите каждое слово буквами одного алфавита.");
    }
    return std::nullopt;
}

std::optional<std::string> passwordRefusal(std::string_view password) {
    if (password.size() > kMaxPassword)
        return "Пароль длиннее " + std::to_string(kMaxPassword) +
               " байт не может быть сохранён. Выберите пароль короче.";
    return std::nullopt;
}

std::optional<std::string> registrationRefusal(std::string_view name,
                                               const std::vector<std::string>& userList,
                                               std::string_view adminLogin) {
    if (const auto why = nameRefusal(name))
        return why;
    if (!adminLogin.empty() && cp::equalsNoCase(name, adminLogin))
        return std::string("Это имя занято. Выберите другое имя пользователя.");
    if (findUser(userList, name) >= 0 || hasRecord(name))
        return std::string(kAlreadyRegistered);
    return std::nullopt;
}

bool hasRecordIn(std::string_view recordsContent, std::string_view name) {
    // A stored value never holds a line break, so a line break marks a missing password.
    return ini::readFrom(recordsContent, name, "password", "\n") != "\n";
}

bool hasRecord(std::string_view name) {
    return ini::read(fsys::storePath(kRecords), name, "password", "\n") != "\n";
}

void writeNewRecord(std::string_view name, std::string_view password) {
    store::Batch batch(kRecords);
    batch.write(name, "password", password);
    batch.write(name, "test1", "1");
    for (int n = 2; n <= 12; ++n)
        batch.write(name, "test" + std::to_string(n), "0");
    batch.commit([&](std::string_view current) {
        if (hasRecordIn(current, name))
            throw Error(std::string(kAlreadyRegistered));
    });
}

void addToUserList(std::string_view name) {
    atomicfile::update(kUserList, atomicfile::Missing::Create,
                       [&](const std::string* old) -> std::optional<std::string> {
                           std::string content = old ? *old : std::string();
                           if (!content.empty() && content.back() != '\n' && content.back() != '\r')
                               content += "\r\n";
                           content.append(name).append("\r\n");
                           return content;
                       });
}

bool removeFromUserList(std::string_view name) {
    bool removed = false;
    atomicfile::update(
        kUserList, atomicfile::Missing::Leave, [&](const std::string* old) -> std::optional<std::string> {
            const std::string& c = *old;
            for (std::size_t pos = 0; pos < c.size();) {
                std::size_t end = c.find_first_of("\r\n", pos);
                if (end == std::string::npos)
                    end = c.size();
                std::size_t next = end;
                if (next < c.size())
                    next += c[next] == '\r' && next + 1 < c.size() && c[next + 1] == '\n' ? 2 : 1;
                if (cp::equalsNoCase(std::string_view(c).substr(pos, end - pos), name)) {
                    removed = true;
                    return c.substr(0, pos) + c.substr(next);
                }
                pos = next;
            }
            return std::nullopt;
        });
    return removed;
}

std::uint8_t storedGrade(std::string_view name, int test) {
    return static_cast<std::uint8_t>(strToInt(store::read(name, "test" + std::to_string(test), kRecords)) &
                                     0xFF);
}

void saveGrades(std::string_view name, const std::array<std::uint8_t, 12>& grades) {
    store::Batch batch(kRecords);
    for (int k = 1; k <= 12; ++k)
        batch.write(name, "test" + std::to_string(k), std::to_string(grades[k - 1]));
    batch.commit();
}

int findUser(const std::vector<std::string>& userList, std::string_view name) {
    for (std::size_t i = 0; i < userList.size(); ++i)
        if (cp::equalsNoCase(userList[i], name))
            return static_cast<int>(i);
    return -1;
}

} // namespace ortavia::accounts
