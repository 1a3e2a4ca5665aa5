#pragma once
// The accounts of the course: the user list "users", the user records of "\users.ini" (password
// and the grades of test1 ... test12, all enciphered) and the administrator settings of
// "data\info\tumb.db" (one line: login|password|journal file name).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::accounts {

inline constexpr std::string_view kUserList = "users";
inline constexpr std::string_view kRecords = "\\users.ini";
inline constexpr std::string_view kSettingsFile = "data\\info\\tumb.db";

struct Settings {
    std::string login, password, journal;
};

// The first line split at '|': fields 1 to 3; what follows a second '|' belongs to no field.
Settings parseSettings(std::string_view firstLine);

// Why the settings cannot be written as typed (a '|' or a line break in a field), or nullopt.
std::optional<std::string> settingsRefusal(const Settings& s);
std::string settingsLine(const Settings& s); // login|password|journal CR LF

// Why a name cannot be registered (UTF-8 message), or nullopt. The name is checked against what an
// INI section can carry, the registered names (list and records, ignoring letter case) and the
// administrator login (ignoring letter case).
std::optional<std::string> registrationRefusal(std::string_view name,
                                               const std::vector<std::string>& userList,
                                               std::string_view adminLogin);

// Whether users.ini holds a record for the name (letter case ignored, as INI sections are).
bool hasRecord(std::string_view name);

// The thirteen values of a new record, written as one atomic change.
void writeNewRecord(std::string_view name, std::string_view password);

// Grades as stored: the low eight bits of the stored decimal text (conversion errors throw).
std::uint8_t storedGrade(std::string_view name, int test);

void saveGrades(std::string_view name, const std::array<std::uint8_t, 12>& grades);

// Index of the first name equal to name ignoring letter case, or -1.
int findUser(const std::vector<std::string>& userList, std::string_view name);

} // namespace ortavia::accounts
