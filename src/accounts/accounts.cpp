#include "accounts/accounts.h"

#include "store/codepage.h"
#include "store/convert.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"

namespace ortavia::accounts {

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

std::optional<std::string> settingsRefusal(const Settings& s) {
    for (const std::string* field : {&s.login, &s.password, &s.journal})
        if (field->find_first_of("|\r\n") != std::string::npos)
            return std::string(
                "Поля настроек не могут содержать символ \"|\" и переводы строки. Исправьте их.");
    return std::nullopt;
}

std::string settingsLine(const Settings& s) {
    return s.login + "|" + s.password + "|" + s.journal + "\r\n";
}

std::optional<std::string> registrationRefusal(std::string_view name,
                                               const std::vector<std::string>& userList,
                                               std::string_view adminLogin) {
    if (name.empty())
        return std::string("Введите имя пользователя.");
    if (name.find_first_of(std::string_view("]\r\n\0", 4)) != std::string_view::npos)
        return std::string("Имя пользователя не может содержать символ \"]\" и переводы строки.");
    if (name.front() == '[' || name.front() == ';')
        return std::string("Имя пользователя не может начинаться с символа \"[\" или \";\".");
    if (name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
        return std::string("Имя пользователя не может начинаться или заканчиваться пробелом.");
    if (!adminLogin.empty() && cp::equalsNoCase(name, adminLogin))
        return std::string("Это имя занято. Выберите другое имя пользователя.");
    if (findUser(userList, name) >= 0 || hasRecord(name))
        return std::string("Пользователь с таким именем уже зарегистрирован. Выберите другое имя.");
    return std::nullopt;
}

bool hasRecord(std::string_view name) {
    // A key is missing exactly when two different defaults both come back.
    const std::string path = fsys::storePath(kRecords);
    for (std::string_view key : {"password", "test1"})
        if (ini::read(path, name, key, "\x01") != "\x01")
            return true;
    // A stored value equal to the first default is told apart by a second one.
    for (std::string_view key : {"password", "test1"})
        if (ini::read(path, name, key, "\x02") != "\x02")
            return true;
    return false;
}

void writeNewRecord(std::string_view name, std::string_view password) {
    store::Batch batch(kRecords);
    batch.write(name, "password", password);
    batch.write(name, "test1", "1");
    for (int n = 2; n <= 12; ++n)
        batch.write(name, "test" + std::to_string(n), "0");
    batch.commit();
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
