// Fuzz target for the check of a test file and for the administrator settings line. Any bytes as a
// test file: the check never crashes, and every value it reports is what the store reads value by
// value from the whole file. Any bytes as the first line of the settings: when the parsed settings
// may be written, the line written for them parses back to the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "accounts/accounts.h"
#include "store/ini.h"
#include "store/store.h"
#include "testing/encipher.h"

namespace {

namespace enc = ortavia::testing::encipher;
namespace ini = ortavia::ini;

void check(bool ok) {
    if (!ok)
        std::abort();
}

// A value as the store reads it from the whole content, and whether it is missing.
std::string storeRead(std::string_view content, const std::string& section, std::string_view key,
                      bool& missing) {
    const std::string raw = ini::readFrom(content, section, key, "\n");
    missing = raw == "\n";
    return ortavia::store::crypt(missing ? std::string(ortavia::store::kDefaultText) : raw);
}

void checkTestFile(std::string_view content) {
    enc::TestFile file;
    const auto problems = enc::checkContent(content, &file);
    check(file.exists);
    bool missing = false;
    check(storeRead(content, "inf", "vsego", missing) == file.vsegoText);
    check(missing == file.vsegoMissing);
    check(file.count == 0 || file.questions.size() <= static_cast<std::size_t>(file.count));
    for (const enc::Question& q : file.questions) {
        const std::string section = std::to_string(q.number);
        std::string values[7];
        for (std::size_t k = 0; k < enc::kKeys.size(); ++k) {
            values[k] = storeRead(content, section, enc::kKeys[k], missing);
            check(missing == q.missing[k]);
        }
        check(values[0] == q.text);
        for (std::size_t k = 0; k < 5; ++k)
            check(values[k + 1] == q.answers[k]);
        check(values[6] == q.right);
    }
    check(file.count > 0 || !problems.empty()); // a file without a usable count is never sound
}

void checkSettingsLine(std::string_view line) {
    namespace accounts = ortavia::accounts;
    const accounts::Settings parsed = accounts::parseSettings(line);
    if (accounts::settingsRefusal(parsed, {}))
        return;
    std::string written = accounts::settingsLine(parsed);
    // The line is read back as the first line of the file: without its line end.
    while (!written.empty() && (written.back() == '\n' || written.back() == '\r'))
        written.pop_back();
    const accounts::Settings again = accounts::parseSettings(written);
    check(again.login == parsed.login && again.password == parsed.password &&
          again.journal == parsed.journal);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string line = in.ConsumeRandomLengthString(200);
    checkSettingsLine(line);
    checkTestFile(in.ConsumeRemainingBytesAsString());
    return 0;
}
