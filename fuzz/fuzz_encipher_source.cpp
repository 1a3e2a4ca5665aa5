// Fuzz target for the encipher tool's source parser: any bytes, split into lines as the tool reads
// a source file, over any starting test file and any working values left by a conversion before.
// Whenever the source is accepted, the tool's batch (each section's final values once) must give
// exactly the bytes of the one-by-one writes the conversion means, and both must leave the same
// working values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "store/ini.h"
#include "store/store.h"
#include "store/textfile.h"
#include "testing/encipher.h"

namespace {

namespace enc = ortavia::testing::encipher;

// Working values come from accepted sources (or are empty), so their bytes all have a cipher image
// that the file can hold.
bool storable(const enc::Working& w) {
    for (const std::string& v : w.values())
        for (char c : v) {
            const char e = static_cast<char>(c ^ ortavia::store::kCipherKey);
            if (e == '\0' || e == '\r' || e == '\n')
                return false;
        }
    return true;
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

std::string applied(std::string content, const std::vector<enc::Write>& writes) {
    ortavia::ini::Batch batch("/nonexistent/never-written.ini");
    for (const enc::Write& w : writes)
        batch.write(w.section, w.key, ortavia::store::crypt(w.value));
    batch.applyTo(content);
    return content;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    enc::Working start;
    if (in.ConsumeBool()) {
        start.question = in.ConsumeRandomLengthString(16);
        for (std::string& a : start.answers)
            a = in.ConsumeRandomLengthString(16);
        start.right = in.ConsumeRandomLengthString(2);
        start.number = in.ConsumeRandomLengthString(3);
    }
    if (!storable(start))
        return 0;
    const std::string file = in.ConsumeRandomLengthString(600);
    const std::vector<std::string> lines = ortavia::textfile::splitLines(in.ConsumeRemainingBytesAsString());
    if (!enc::sourceRefusal(lines).empty())
        return 0;

    enc::Working oneByOne = start;
    std::string expected = file;
    for (const enc::Write& w : enc::writeSequence(lines, oneByOne))
        expected = ortavia::ini::writeInto(expected, w.section, w.key, ortavia::store::crypt(w.value));

    enc::Working batched = start;
    const enc::Result result = enc::convert(lines, batched);
    check(batched == oneByOne);
    check(applied(file, enc::batchWrites(result)) == expected);
    return 0;
}
