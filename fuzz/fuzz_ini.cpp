// Fuzz target for the INI text functions: any content, section, key and value. They must never
// crash, and wherever the names and the value can be kept in a file at all, a written value must
// read back and erasing its section must take exactly what the write put there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "store/ini.h"

namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool nameFits(std::string_view name) {
    std::string_view t = trimBlanks(name);
    return !t.empty() && t.front() != '[' && t.front() != ';' &&
           t.find_first_of("]=\r\n") == std::string_view::npos;
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(40);
    const std::string key = in.ConsumeRandomLengthString(40);
    const std::string value = in.ConsumeRandomLengthString(2100);
    const std::string content = in.ConsumeRemainingBytesAsString();
    const std::string def = "\x01<none>";

    const std::string before = ortavia::ini::readFrom(content, section, key, def);
    check(before.size() <= ortavia::ini::kMaxValue);
    const std::string erasedBefore = ortavia::ini::eraseFrom(content, section);
    check(erasedBefore.size() <= content.size());
    const std::string written = ortavia::ini::writeInto(content, section, key, value);
    const std::string erased = ortavia::ini::eraseFrom(written, section);

    const std::string_view stored = std::string_view(value).substr(0, value.find('\0'));
    if (!nameFits(section) || !nameFits(key) || stored.find_first_of("\r\n") != std::string_view::npos)
        return 0;

    // The value reads back (cut as every read is), and writing it again changes nothing.
    check(ortavia::ini::readFrom(written, section, key, def) == stored.substr(0, ortavia::ini::kMaxValue));
    check(ortavia::ini::writeInto(written, section, key, value) == written);

    // A section that was missing is appended at the end; erasing it gives the old content back
    // (with the line end put before the new header). Otherwise the write changed only the first
    // section of the name, whose data lines the erase takes.
    const std::string_view sec = trimBlanks(section);
    std::string appended = content;
    if (!content.empty() && content.back() != '\n' && content.back() != '\r')
        appended += "\r\n";
    const std::string header = appended + "[" + std::string(sec) + "]\r\n";
    const bool wasMissing = written.size() > header.size() && written.compare(0, header.size(), header) == 0;
    check(erased == (wasMissing ? appended : erasedBefore));
    if (ortavia::ini::readFrom(erasedBefore, section, key, def) == def)
        check(ortavia::ini::readFrom(erased, section, key, def) == def);
    return 0;
}
