// Fuzz target for question authoring: any bytes as a source in each of the three formats. Reading
// never crashes; whatever is accepted and can be exported imports again, in every format, to the
// same questions, and to the same test file bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/error.h"
#include "testing/authoring.h"

namespace {

namespace au = ortavia::testing::authoring;

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    try {
        lines = au::decodeSource(bytes);
    } catch (const ortavia::Error&) {
        return 0;
    }
    for (au::Format from : {au::Format::Plain, au::Format::Aiken, au::Format::Gift}) {
        const au::Parsed parsed = au::parse(lines, from);
        if (!parsed.refusals.empty())
            continue;
        std::string content;
        try {
            content = au::testFileContent(parsed.items);
        } catch (const ortavia::Error&) {
            continue; // a value the test file cannot hold
        }
        for (au::Format to : {au::Format::Plain, au::Format::Aiken, au::Format::Gift}) {
            std::string text;
            try {
                text = au::exportText(parsed.items, to);
            } catch (const ortavia::Error&) {
                continue; // a question that format cannot express
            }
            const std::vector<std::string> again = au::decodeSource(text);
            // (The format is not checked as recognised: a text such as "A) …" in a GIFT question is
            // why --format exists.)
            const au::Parsed back = au::parse(again, to);
            check(back.refusals.empty() && back.items == parsed.items);
            check(au::testFileContent(back.items) == content);
        }
    }
    return 0;
}
