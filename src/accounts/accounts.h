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

// Why the settings cannot be written as typed, or nullopt: a '|' or a line break in a field, an
// empty login or one that could not be a user name, a login that is a listed or recorded user name
// (letter case ignored: an administrator session would write its grades into that record at
// close), a password the store could not read back whole, an empty journal name or one that names
// a folder.
std::optional<std::string> settingsRefusal(const Settings& s, const std::vector<std::string>& userList);
std::string settingsLine(const Settings& s); // login|password|journal CR LF

// Why a text cannot be a user name at all (UTF-8 message), or nullopt: empty; "]", "|", control
// characters, the no-break space or the soft hyphen anywhere; "[" or ";" first; blanks at either
// end; a word mixing Latin and Cyrillic letters (a look-alike of another name).
std::optional<std::string> nameRefusal(std::string_view name);

// The longest password the store reads back whole.
inline constexpr std::size_t kMaxPassword = 2047;
std::optional<std::string> passwordRefusal(std::string_view password);

// Why a name cannot be registered (UTF-8 message), or nullopt: nameRefusal, the registered names
// (list and records, ignoring letter case) and the administrator login (ignoring letter case).
std::optional<std::string> registrationRefusal(std::string_view name,
                                               const std::vector<std::string>& userList,
                                               std::string_view adminLogin);

// Whether users.ini holds a record for the name (letter case ignored, as INI sections are). Only a
// section with a password is a user record: the grades an administrator session saves under its
// login, or those saved at close for a student deleted meanwhile, are not.
bool hasRecord(std::string_view name);
bool hasRecordIn(std::string_view recordsContent, std::string_view name);

// The thirteen values of a new record, written as one atomic change. The file as it is at that
// moment is checked again under its lock: when another copy of the program has registered the
// name meanwhile, nothing is written and Error is thrown.
void writeNewRecord(std::string_view name, std::string_view password);

// The user list "users" changed as it is now, under its lock (other copies of the program change
// it too): the name added as the last line; the first line equal to the name (letter case
// ignored) removed, true when there was one. Other lines keep their bytes.
void addToUserList(std::string_view name);
bool removeFromUserList(std::string_view name);

// Grades as stored: the low eight bits of the stored decimal text (conversion errors throw).
std::uint8_t storedGrade(std::string_view name, int test);

void saveGrades(std::string_view name, const std::array<std::uint8_t, 12>& grades);

// Index of the first name equal to name ignoring letter case, or -1.
int findUser(const std::vector<std::string>& userList, std::string_view name);

} // namespace ortavia::accounts
