#include "store/convert.h"

#include <cstdint>

#include "store/codepage.h"
#include "store/error.h"

namespace ortavia {

int strToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    const std::size_t digits = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t(INT32_MAX) + 1)
            break;
    }
    if (i == digits || i != text.size() || (!negative && value > INT32_MAX) ||
        value > std::int64_t(INT32_MAX) + 1)
        throw Error("'" + cp::toUtf8(text) + "' is not a valid integer value");
    return static_cast<int>(negative ? -value : value);
}

} // namespace ortavia
