#pragma once
// The protected value store: every value kept in an INI file passes through here enciphered.
// File names begin with a backslash and are put behind the current directory ("\users.ini",
// "\data\tests\test3.ini"); section names and keys are plain.
#include <string>
#include <string_view>
#include <vector>

#include "store/ini.h"

namespace ortavia::store {

constexpr int kCipherKey = 0x1E;
constexpr std::string_view kDefaultText = "!!!!!!";

// Byte-wise exclusive-or of every byte with the low byte of key, appended to out.
void crypt(std::string_view text, int key, std::string& out);
std::string crypt(std::string_view text); // with kCipherKey

// Deciphered value, or the deciphered default text when file, section or key is missing.
std::string read(std::string_view section, std::string_view key, std::string_view fileName);

// Enciphers and writes one value. Refuses (Error, nothing written) a value whose enciphered form
// would hold a NUL, CR or LF byte, since that would cut the value or break its line.
void write(std::string_view section, std::string_view key, std::string_view plain, std::string_view fileName);

void erase(std::string_view section, std::string_view fileName);

// Several enciphered writes and erases to one store file as one atomic change.
class Batch {
public:
    explicit Batch(std::string_view fileName);
    void write(std::string_view section, std::string_view key, std::string_view plain); // may throw (refusal)
    void erase(std::string_view section);
    void commit();

private:
    ini::Batch batch_;
};

} // namespace ortavia::store
