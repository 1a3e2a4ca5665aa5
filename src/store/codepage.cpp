// Conversion between the course code page (RK1048) and UTF-8 through iconv, and the letter case
// folding used wherever names are compared.
#include "store/codepage.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace ortavia::cp {
namespace {

// One conversion direction. The descriptor is opened on first use and kept for the life of the
// thread, so a conversion costs no iconv_open; each thread has its own descriptors, which iconv
// requires since a descriptor carries state.
class Converter {
public:
    Converter(const char* to, const char* from) : to_(to), from_(from) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    iconv_t get() {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            cd_ = iconv_open(to_, from_);
        else
            iconv(cd_, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return cd_;
    }

private:
    const char* to_;
    const char* from_;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

Converter& toUtf8Converter() {
    thread_local Converter c("UTF-8", "RK1048");
    return c;
}

Converter& fromUtf8Converter() {
    thread_local Converter c("RK1048", "UTF-8");
    return c;
}

bool isAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

constexpr std::array<unsigned char, 256> makeFoldTable() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = static_cast<unsigned char>(c + 0x20);
    // Cyrillic and Kazakh capitals that lie outside the contiguous block А..Я.
    constexpr unsigned char pairs[][2] = {
        {0x80, 0x90}, // Ђ ђ
        {0x81, 0x83}, // Ѓ ѓ
        {0x8A, 0x9A}, // Љ љ
        {0x8C, 0x9C}, // Њ њ
        {0x8D, 0x9D}, // Қ қ
        {0x8E, 0x9E}, // Һ һ
        {0x8F, 0x9F}, // Џ џ
        {0xA1, 0xA2}, // Ұ ұ
        {0xA3, 0xBC}, // Ә ә
        {0xA5, 0xB4}, // Ө ө
        {0xA8, 0xB8}, // Ё ё
        {0xAA, 0xBA}, // Ғ ғ
        {0xAF, 0xBF}, // Ү ү
        {0xB2, 0xB3}, // І і
        {0xBD, 0xBE}, // Ң ң
    };
    for (const auto& p : pairs)
        t[p[0]] = p[1];
    for (int c = 0xC0; c <= 0xDF; ++c) // А..Я
        t[c] = static_cast<unsigned char>(c + 0x20);
    return t;
}

constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

} // namespace

std::string toUtf8(std::string_view text) {
    if (isAscii(text))
        return std::string(text);
    std::string out;
    iconv_t cd = toUtf8Converter().get();
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter on this system: keep ASCII, mark every other byte as unknown.
        for (unsigned char c : text)
            out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\xEF\xBF\xBD");
        return out;
    }
    out.resize(text.size() * 3 + 4);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) { // cannot happen with three bytes per input byte, but stay safe
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        // The undefined byte (or anything iconv refuses): U+FFFD, then go on with the next byte.
        if (outLeft < 3) {
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() + 16);
            dst = out.data() + used;
            outLeft = out.size() - used;
        }
        *dst++ = '\xEF';
        *dst++ = '\xBF';
        *dst++ = '\xBD';
        outLeft -= 3;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
}

std::optional<std::string> fromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    iconv_t cd = fromUtf8Converter().get();
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(utf8.size(), '\0'); // a code page string is never longer than its UTF-8 form
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return std::nullopt; // EILSEQ: not encodable or not UTF-8; EINVAL: cut sequence at the end
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
}

unsigned char foldCase(unsigned char c) {
    return kFold[c];
}

std::string foldCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (kFold[static_cast<unsigned char>(a[i])] != kFold[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

} // namespace ortavia::cp
