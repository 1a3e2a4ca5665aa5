// Fuzz target for batches: any content and any sequence of writes and section erases, with names
// drawn from a few spellings that differ in letter case and blanks, so that runs of writes into one
// section are common. A batch must give exactly the bytes of the same changes made one by one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "store/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const sections[] = {"a", "A", " a\t", "b", "\xC8\xE2\xE0\xED", "\xE8\xC2\xC0\xCD",
                                           "",  "[x"};
    static const char* const keys[] = {"k", "K ", "x", "\xCA\xB4\xEB", "", "a=b"};
    FuzzedDataProvider in(data, size);
    ortavia::ini::Batch batch("/nonexistent/never-written.ini");
    std::string oneByOne;
    const int ops = in.ConsumeIntegralInRange(1, 24);
    struct Op {
        bool erase;
        std::string section, key, value;
    };
    std::string section = sections[0];
    Op list[24];
    for (int i = 0; i < ops; ++i) {
        if (in.ConsumeIntegralInRange(0, 3) == 0)
            section = sections[in.ConsumeIntegralInRange<size_t>(0, std::size(sections) - 1)];
        const bool erase = in.ConsumeIntegralInRange(0, 6) == 0;
        const std::string key = keys[in.ConsumeIntegralInRange<size_t>(0, std::size(keys) - 1)];
        const std::string value = in.ConsumeRandomLengthString(12);
        list[i] = {erase, section, key, value};
        if (erase)
            batch.eraseSection(section);
        else
            batch.write(section, key, value);
    }
    std::string content = in.ConsumeRemainingBytesAsString();
    oneByOne = content;
    for (int i = 0; i < ops; ++i)
        oneByOne = list[i].erase
                       ? ortavia::ini::eraseFrom(oneByOne, list[i].section)
                       : ortavia::ini::writeInto(oneByOne, list[i].section, list[i].key, list[i].value);
    batch.applyTo(content);
    if (content != oneByOne)
        std::abort();
    return 0;
}
