// Question authoring: source encodings, the plain, Aiken and GIFT formats, export and install.
#include "testing/authoring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"
#include "store/textfile.h"
#include "testing/notation.h"

namespace ortavia::testing::authoring {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string lineRef(int line) {
    return "Строка " + std::to_string(line);
}

std::string_view trim(std::string_view s) {
    const std::size_t b = s.find_first_not_of(kBlanks);
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

// ----- Encodings -------------------------------------------------------------------------------

// Length of the UTF-8 sequence at i (0 when it is not a valid one).
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        n = 1;
    else if ((c & 0xF0) == 0xE0)
        n = 2;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 3;
    else
        return 0;
    if (i + n >= s.size())
        return 0;
    for (std::size_t k = 1; k <= n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n + 1;
}

// Valid UTF-8 holding at least one multi-byte character (what code page text of real words
// practically never is).
bool isMultibyteUtf8(std::string_view s) {
    bool multibyte = false;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8Length(s, i);
        if (n == 0)
            return false;
        multibyte = multibyte || n > 1;
        i += n;
    }
    return multibyte;
}

void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 (without its mark) to UTF-8; an unpaired surrogate or an odd length is refused.
std::string utf16ToUtf8(std::string_view s, bool bigEndian) {
    if (s.size() % 2 != 0)
        throw Error("Файл вопросов в кодировке UTF-16 обрывается на середине знака (нечётное число байт).");
    std::string out;
    out.reserve(s.size());
    int line = 1;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(s[i]);
        const auto b = static_cast<unsigned char>(s[i + 1]);
        return bigEndian ? unsigned(a << 8 | b) : unsigned(b << 8 | a);
    };
    for (std::size_t i = 0; i < s.size(); i += 2) {
        unsigned cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 2 < s.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            throw Error(lineRef(line) + ": испорченный знак UTF-16 (одиночная половина суррогатной пары).");
        }
        line += cp == '\n';
        appendUtf8(out, cp);
    }
    return out;
}

// One UTF-8 line to the code page, or the refusal naming its line and column. What the code page
// cannot hold but the question notation can say is written in the notation (braces escaped for
// GIFT, whose reader unescapes them).
std::string lineFromUtf8(std::string_view utf8, int lineNo, bool gift) {
    if (std::optional<std::string> text = cp::fromUtf8(utf8))
        return std::move(*text);
    const QString said =
        notation::fromUnicode(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), gift);
    if (std::optional<std::string> text = cp::fromUtf8(said.toStdString()))
        return std::move(*text);
    int column = 1;
    for (std::size_t i = 0; i < utf8.size(); ++column) {
        const std::size_t n = utf8Length(utf8, i);
        if (n == 0)
            throw Error(lineRef(lineNo) + ", позиция " + std::to_string(column) +
                        ": байт, который не является знаком UTF-8. Сохраните файл вопросов в кодировке UTF-8 "
                        "заново.");
        const std::string_view ch = utf8.substr(i, n);
        const auto c0 = static_cast<unsigned char>(ch[0]);
        unsigned point = n == 1 ? c0 : n == 2 ? (c0 & 0x1F) : n == 3 ? (c0 & 0x0F) : (c0 & 0x07);
        for (std::size_t k = 1; k < n; ++k)
            point = (point << 6) | (static_cast<unsigned char>(ch[k]) & 0x3F);
        if (!cp::fromUtf8(ch) && !notation::sayable(point)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", point);
            throw Error(lineRef(lineNo) + ", позиция " + std::to_string(column) + ": знака «" +
                        std::string(ch) + "» (" + code +
                        ") нет в кодовой странице курса (Windows-1251 с казахскими буквами). Замените его.");
        }
        i += n;
    }
    throw Error(lineRef(lineNo) + ": текст не переводится в кодовую страницу курса.");
}

// Bytes that Windows-1251 reads as Ukrainian or Belarusian letters and the course code page as
// Kazakh ones.
struct SharedByte {
    char byte;
    std::string_view windows1251; // UTF-8
    std::string_view course;      // UTF-8
};
constexpr SharedByte kSharedBytes[] = {{'\xA1', "Ў", "Ұ"}, {'\xA2', "ў", "ұ"}, {'\xA5', "Ґ", "Ө"},
                                       {'\xAA', "Є", "Ғ"}, {'\xAF', "Ї", "Ү"}, {'\xB4', "ґ", "ө"},
                                       {'\xBA', "є", "ғ"}, {'\xBF', "ї", "ү"}};
// Kazakh letters that Windows-1251 holds as Serbian and Macedonian ones (Қ Һ Ә Ң), never found in
// Ukrainian or Belarusian text.
constexpr std::string_view kKazakhOnly = "\x8D\x8E\x9D\x9E\xA3\xBC\xBD\xBE";

bool isOtherCyrillic(unsigned char c) {
    return c >= 0xC0 || c == 0xA8 || c == 0xB8 || c == 0xB2 || c == 0xB3;
}

// Code page text that is Windows-1251 with Ukrainian or Belarusian letters rather than Kazakh text:
// their bytes next to other Cyrillic letters, and none of the Kazakh letters those languages lack
// (every Kazakh text of a few lines holds Қ, Ә or Ң). Refused with the lines and the letters, since
// read as it is the test would show other letters than the author wrote.
void refuseWindows1251Letters(const std::vector<std::string>& lines) {
    bool shared = false;
    bool cyrillic = false;
    for (const std::string& l : lines)
        for (const char c : l) {
            if (kKazakhOnly.find(c) != std::string_view::npos)
                return;
            const auto u = static_cast<unsigned char>(c);
            shared =
                shared || std::ranges::any_of(kSharedBytes, [c](const SharedByte& s) { return s.byte == c; });
            cyrillic = cyrillic || isOtherCyrillic(u);
        }
    if (!shared || !cyrillic)
        return;
    std::string where;
    std::string found;
    int shown = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string letters;
        for (const SharedByte& s : kSharedBytes)
            if (lines[i].find(s.byte) != std::string::npos) {
                letters += (letters.empty() ? "«" : ", «") + std::string(s.windows1251) + "»";
                if (found.find(s.windows1251) == std::string::npos)
                    found += (found.empty() ? "" : ", ") + std::string(s.windows1251) + " → " +
                             std::string(s.course);
            }
        if (letters.empty())
            continue;
        if (++shown <= 5)
            where += (where.empty() ? "строка " : "; строка ") + std::to_string(i + 1) + ": " + letters;
    }
    if (shown > 5)
        where += "; и ещё строк: " + std::to_string(shown - 5);
    throw Error(
        "Файл вопросов записан, по всей видимости, в Windows-1251 с украинскими или белорусскими "
        "буквами (" +
        where +
        "). Кодовая страница курса — Windows-1251 с казахскими буквами (KZ-1048, RK1048): в ней те же "
        "байты — казахские буквы (" +
        found +
        "), а других казахских букв (Ә, Қ, Ң, Һ) в файле нет. Замените эти буквы; если же текст "
        "казахский, сохраните файл в кодировке UTF-8 и повторите.");
}

// ----- Plain -----------------------------------------------------------------------------------

struct Building {
    Item item;
    int markers = 0;
    bool bad = false;
};

void refuse(Parsed& p, Building& b, int line, std::string text) {
    if (!b.bad)
        p.refusals.push_back({line, std::move(text)});
    b.bad = true;
}

std::string questionRef(const Building& b) {
    return "Вопрос в строке " + std::to_string(b.item.line);
}

// What keeps a question with the right number of answers from being shown as written: no text,
// an undefined byte, or an empty answer.
std::string itemProblem(const Item& item) {
    if (item.text.empty())
        return "нет текста вопроса.";
    // The one byte the code page leaves undefined shows as a replacement character and cannot be
    // written back.
    const auto undefined = [](const std::string& t) { return t.find('\x98') != std::string::npos; };
    bool bad = undefined(item.text);
    for (const std::string& a : item.answers)
        bad = bad || undefined(a);
    if (bad)
        return "байт 0x98 не является знаком кодовой страницы курса.";
    for (std::size_t k = 0; k < item.answers.size(); ++k)
        if (item.answers[k].empty())
            return "ответ " + std::to_string(k + 1) + " пуст.";
    return {};
}

void finish(Parsed& p, Building& b, bool open) {
    if (!open || b.bad)
        return;
    const std::size_t n = b.item.answers.size();
    if (n < 2)
        refuse(p, b, b.item.line,
               questionRef(b) + ": ответов " + std::to_string(n) + ", а нужно от двух до пяти.");
    else if (n > 5)
        refuse(p, b, b.item.line,
               questionRef(b) + ": ответов " + std::to_string(n) + ", а на экране теста их не больше пяти.");
    else if (b.markers == 0)
        refuse(p, b, b.item.line, questionRef(b) + ": правильный ответ не отмечен.");
    else if (b.markers > 1)
        refuse(p, b, b.item.line, questionRef(b) + ": отмечено несколько правильных ответов.");
    else if (std::string why = itemProblem(b.item); !why.empty())
        refuse(p, b, b.item.line, questionRef(b) + ": " + why);
    else
        p.items.push_back(std::move(b.item));
}

Parsed parsePlain(const std::vector<std::string>& lines) {
    Parsed p;
    Building b;
    bool open = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        const std::string& line = lines[i];
        const encipher::LineKind kind = encipher::kindOf(line);
        if (kind == encipher::LineKind::Empty || kind == encipher::LineKind::Separator)
            continue;
        if (kind == encipher::LineKind::Question) {
            if (trim(line).empty())
                continue;
            finish(p, b, open);
            b = Building{};
            b.item.text = std::string(trim(line));
            b.item.line = lineNo;
            open = true;
            continue;
        }
        if (!open) {
            p.refusals.push_back({lineNo, lineRef(lineNo) + ": ответ стоит до первого вопроса."});
            continue;
        }
        const auto k = static_cast<std::size_t>(line[0] - 'A');
        if (k != b.item.answers.size()) {
            refuse(
                p, b, lineNo,
                lineRef(lineNo) + ": ответ " + line.substr(0, 2) + " не по порядку (ожидался «" +
                    std::string(1, static_cast<char>('A' + std::min<std::size_t>(b.item.answers.size(), 4))) +
                    ")»).");
            continue;
        }
        std::string_view text = trim(std::string_view(line).substr(2));
        if (!text.empty() && text.back() == '*') {
            text = trim(text.substr(0, text.size() - 1));
            ++b.markers;
            b.item.right = static_cast<int>(k);
        }
        b.item.answers.emplace_back(text);
    }
    finish(p, b, open);
    return p;
}

// ----- Aiken -----------------------------------------------------------------------------------

// "A. text", "A) text" or "A)text": the letter, else -1. After a point the blank is needed, so
// that "E.coli" or initials stay text.
int aikenOption(std::string_view line, std::string_view& text) {
    if (line.size() < 2 || line[0] < 'A' || line[0] > 'Z' || (line[1] != '.' && line[1] != ')'))
        return -1;
    if (line[1] == '.' && line.size() > 2 && line[2] != ' ' && line[2] != '\t')
        return -1;
    text = trim(line.substr(2));
    return line[0] - 'A';
}

Parsed parseAiken(const std::vector<std::string>& lines) {
    Parsed p;
    Building b;
    bool open = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        const std::string_view line = trim(lines[i]);
        if (line.empty())
            continue;
        if (!open) {
            b = Building{};
            b.item.text = std::string(line);
            b.item.line = lineNo;
            open = true;
            continue;
        }
        if (line.starts_with("ANSWER:")) {
            const std::string_view letter = trim(line.substr(7));
            if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z')
                refuse(p, b, lineNo,
                       lineRef(lineNo) + ": «" + std::string(line) +
                           "» — нужна одна буква правильного ответа (несколько правильных ответов не "
                           "принимаются).");
            else if (static_cast<std::size_t>(letter[0] - 'A') >= b.item.answers.size())
                refuse(p, b, lineNo, lineRef(lineNo) + ": ответа " + std::string(letter) + " у вопроса нет.");
            else {
                b.item.right = letter[0] - 'A';
                b.markers = 1;
            }
            finish(p, b, true);
            open = false;
            continue;
        }
        std::string_view text;
        const int k = aikenOption(line, text);
        if (k >= 0 && static_cast<std::size_t>(k) == b.item.answers.size()) {
            b.item.answers.emplace_back(text);
        } else if (k >= 0 && !b.item.answers.empty()) {
            refuse(p, b, lineNo,
                   lineRef(lineNo) + ": ответ " + std::string(line.substr(0, 2)) + " не по порядку.");
        } else if (b.item.answers.empty()) {
            b.item.text += ' ';
            b.item.text += line; // a question over several lines
        } else {
            refuse(p, b, lineNo,
                   lineRef(lineNo) +
                       ": после ответов ожидается ответ следующей буквы или строка «ANSWER: X».");
        }
    }
    if (open)
        refuse(p, b, b.item.line, questionRef(b) + ": нет строки «ANSWER: X».");
    return p;
}

// ----- GIFT ------------------------------------------------------------------------------------

bool isGiftEscape(char c) {
    return c == '~' || c == '=' || c == '#' || c == '{' || c == '}' || c == ':' || c == '\\';
}

// Position of the first unescaped c at or after from, or npos.
std::size_t findUnescaped(std::string_view s, std::string_view what, std::size_t from = 0) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
            continue;
        }
        if (s.substr(i, what.size()) == what)
            return i;
    }
    return std::string_view::npos;
}

// Escapes resolved, each line break with the blanks around it made one blank, ends trimmed; blanks
// within a line are kept as written.
std::string giftText(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (isGiftEscape(s[i + 1]) || s[i + 1] == 'n')) {
            ++i;
            out += s[i] == 'n' ? ' ' : s[i];
        } else if (c == '\n' || c == '\r') {
            while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
                out.pop_back();
            while (i + 1 < s.size() && std::string_view(" \t\r\n").find(s[i + 1]) != std::string_view::npos)
                ++i;
            if (!out.empty())
                out += ' ';
        } else {
            out += c;
        }
    }
    return std::string(trim(out));
}

constexpr std::string_view kFormatTags[] = {"[html]", "[moodle]", "[plain]", "[markdown]"};

// The format tag at the start of s ("[html]" ...), removed from s; empty when there is none.
std::string_view takeFormatTag(std::string_view& s) {
    for (std::string_view tag : kFormatTags)
        if (s.starts_with(tag)) {
            s = trim(s.substr(tag.size()));
            return tag;
        }
    return {};
}

bool startsWithFormatTag(std::string_view s) {
    return !takeFormatTag(s).empty();
}

// The character of an HTML entity name ("amp", "#1025", "#x401"), 0 when unknown.
unsigned entityChar(std::string_view name) {
    if (name.starts_with('#')) {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 6)
            return 0;
        unsigned cp = 0;
        for (char c : digits) {
            const int d = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
            if (d < 0)
                return 0;
            cp = cp * (hex ? 16 : 10) + static_cast<unsigned>(d);
        }
        return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : cp;
    }
    static constexpr std::pair<std::string_view, unsigned> kNamed[] = {
        {"amp", '&'},       {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
        {"nbsp", ' '},      {"laquo", 0xAB},   {"raquo", 0xBB},   {"ndash", 0x2013}, {"mdash", 0x2014},
        {"hellip", 0x2026}, {"deg", 0xB0},     {"plusmn", 0xB1},  {"micro", 0xB5},   {"middot", 0xB7},
        {"times", 0xD7},    {"minus", 0x2212}, {"sup2", 0xB2},    {"sup3", 0xB3},    {"bull", 0x2022},
        {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"lsquo", 0x2018}, {"rsquo", 0x2019}};
    for (const auto& [n, cp] : kNamed)
        if (n == name)
            return cp;
    return 0;
}

// The text an [html] text shows: comments and tags dropped (a line break, paragraph or list item
// becomes a blank), entities decoded, runs of blanks made one. Gives the refusal for an entity the
// code page cannot hold through why.
std::string htmlText(std::string_view s, std::string& why) {
    std::string out;
    const auto blank = [&] {
        if (!out.empty() && out.back() != ' ')
            out += ' ';
    };
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (s.substr(i).starts_with("<!--")) {
            const std::size_t end = s.find("-->", i + 4);
            i = end == std::string_view::npos ? s.size() : end + 3;
        } else if (c == '<' && i + 1 < s.size() &&
                   (std::isalpha(static_cast<unsigned char>(s[i + 1])) || s[i + 1] == '/' ||
                    s[i + 1] == '!') &&
                   s.find('>', i) != std::string_view::npos) {
            const std::size_t end = s.find('>', i);
            std::string_view name = s.substr(i + 1, end - i - 1);
            if (name.starts_with('/'))
                name.remove_prefix(1);
            name = name.substr(0, name.find_first_of(" \t\n/"));
            std::string lower(name);
            for (char& ch : lower)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            for (std::string_view block : {"br", "p", "div", "li", "tr", "td", "th", "ul", "ol", "table",
                                           "h1", "h2", "h3", "h4", "h5", "h6", "hr", "blockquote", "pre"})
                if (lower == block)
                    blank();
            i = end + 1;
        } else if (c == '&' && s.find(';', i) != std::string_view::npos && s.find(';', i) - i <= 10) {
            const std::size_t end = s.find(';', i);
            const std::string_view name = s.substr(i + 1, end - i - 1);
            const unsigned cp = entityChar(name);
            if (cp == 0) {
                out += c;
                ++i;
                continue;
            }
            std::string utf8;
            appendUtf8(utf8, cp);
            const std::optional<std::string> text = cp::fromUtf8(utf8);
            if (!text || text->find('\x98') != std::string::npos) {
                if (why.empty())
                    why = "знака «&" + std::string(name) + ";» (" + utf8 +
                          ") нет в кодовой странице курса (Windows-1251 с казахскими буквами).";
                return {};
            }
            if (cp <= ' ' || cp == 0x7F) // a line break or another control character: a blank
                blank();
            else
                out += *text;
            i = end + 1;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank();
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return std::string(trim(out));
}

// The text of a GIFT question or answer: its format tag (or, for none, the question's) removed,
// escapes resolved, and [html] text made plain.
std::string giftFormatted(std::string_view raw, std::string_view& format, std::string& why) {
    raw = trim(raw);
    if (std::string_view own = takeFormatTag(raw); !own.empty())
        format = own;
    const std::string text = giftText(raw);
    return format == "[html]" ? htmlText(text, why) : text;
}

int lineOf(std::string_view block, std::size_t pos, int firstLine) {
    return firstLine +
           static_cast<int>(std::count(block.begin(), block.begin() + static_cast<long>(pos), '\n'));
}

struct GiftAnswer {
    char mark;            // '=' or '~'
    std::string_view raw; // without its feedback
};

// A question with more than one answer list, or a question name on a later line of the block, is
// the next question written without the blank line between them.
std::size_t mergedQuestion(std::string_view block, std::size_t close) {
    std::size_t at = findUnescaped(block, "{", close + 1);
    for (std::size_t nl = block.find('\n'); nl != std::string_view::npos && nl < at;
         nl = block.find('\n', nl + 1)) {
        const std::size_t text = block.find_first_not_of(" \t", nl + 1);
        if (text != std::string_view::npos && block.substr(text).starts_with("::"))
            return text;
    }
    return at;
}

void giftQuestion(Parsed& p, std::string_view block, int lineNo) {
    Building b;
    b.item.line = lineNo;
    const std::string where = "Вопрос в строке " + std::to_string(lineNo);
    const auto no = [&](const std::string& why) { p.refusals.push_back({lineNo, where + ": " + why}); };
    std::string_view rest = trim(block);
    std::size_t offset = static_cast<std::size_t>(rest.data() - block.data());
    if (rest.starts_with("::")) {
        const std::size_t end = findUnescaped(rest, "::", 2);
        if (end == std::string_view::npos)
            return no("название «::» не закрыто.");
        rest = rest.substr(end + 2);
        offset += end + 2;
    }
    const std::size_t open = findUnescaped(rest, "{");
    if (open == std::string_view::npos) {
        if (const std::size_t next = mergedQuestion(block, 0); next != std::string_view::npos)
            return no("в строке " + std::to_string(lineOf(block, next, lineNo)) +
                      " начинается следующий вопрос: вопросы отделяются друг от друга пустой строкой.");
        return no("нет ответов в фигурных скобках {…} (описание или эссе не принимаются).");
    }
    const std::size_t close = findUnescaped(rest, "}", open + 1);
    if (close == std::string_view::npos)
        return no("фигурная скобка «{» в строке " + std::to_string(lineOf(block, offset + open, lineNo)) +
                  " не закрыта.");
    if (const std::size_t next = mergedQuestion(block, offset + close); next != std::string_view::npos)
        return no("в строке " + std::to_string(lineOf(block, next, lineNo)) +
                  " начинается следующий вопрос: вопросы отделяются друг от друга пустой строкой.");
    std::string_view format;
    std::string why;
    const std::string before = giftFormatted(rest.substr(0, open), format, why);
    const std::string after = giftFormatted(rest.substr(close + 1), format, why);
    // Text after the answers ("missing word"): the gap is shown as a line.
    b.item.text = after.empty() ? before : before.empty() ? "_____ " + after : before + " _____ " + after;
    const std::string_view body = trim(rest.substr(open + 1, close - open - 1));
    const std::string plainBody = giftText(body);
    if (body.empty())
        return no("пустые скобки {} — вопрос-эссе не принимается.");
    if (body[0] == '#')
        return no("числовой вопрос не принимается.");
    for (std::string_view tf : {"T", "F", "TRUE", "FALSE"})
        if (plainBody == tf || plainBody.starts_with(std::string(tf) + " #") ||
            plainBody.starts_with(std::string(tf) + "#"))
            return no("вопрос «верно/неверно» не принимается.");
    std::size_t i = 0;
    while (i < body.size() && (body[i] == ' ' || body[i] == '\t' || body[i] == '\n'))
        ++i;
    if (i < body.size() && body[i] != '=' && body[i] != '~')
        return no("ответ должен начинаться с «=» (правильный) или «~» (неправильный).");
    std::vector<GiftAnswer> answers;
    while (i < body.size()) {
        std::size_t next = body.size();
        for (std::size_t j = i + 1; j < body.size(); ++j) {
            if (body[j] == '\\') {
                ++j;
                continue;
            }
            if (body[j] == '=' || body[j] == '~') {
                next = j;
                break;
            }
        }
        std::string_view answer = body.substr(i + 1, next - i - 1);
        answer = answer.substr(0, findUnescaped(answer, "#"));
        answers.push_back({body[i], trim(answer)});
        i = next;
    }
    // Matching: every answer "=x -> y". An arrow anywhere else is text.
    bool matching = true;
    for (const GiftAnswer& a : answers)
        matching = matching && a.mark == '=' && findUnescaped(a.raw, "->") != std::string_view::npos;
    if (matching)
        return no("вопрос на соответствие не принимается.");
    int rights = 0;
    for (const GiftAnswer& a : answers) {
        if (a.raw.starts_with("%"))
            return no("ответ с долей баллов «%…%» не принимается: нужен один правильный ответ «=».");
        if (a.mark == '=') {
            ++rights;
            b.item.right = static_cast<int>(b.item.answers.size());
        }
        std::string_view answerFormat = format;
        b.item.answers.push_back(giftFormatted(a.raw, answerFormat, why));
    }
    if (!why.empty())
        return no(why);
    if (rights == 0)
        return no("нет правильного ответа «=».");
    if (rights == static_cast<int>(answers.size()))
        return no("вопрос с кратким ответом (только «=») не принимается.");
    if (rights > 1)
        return no("несколько правильных ответов «=» не принимаются.");
    const std::size_t n = b.item.answers.size();
    if (n > 5)
        return no("ответов " + std::to_string(n) + ", а на экране теста их не больше пяти.");
    if (std::string problem = itemProblem(b.item); !problem.empty())
        return no(problem);
    p.items.push_back(std::move(b.item));
}

// Questions are separated by blank lines (an answer list may hold blank lines); a "$CATEGORY:"
// line stands alone. A "{" inside an answer list means the list before it was never closed: that
// question is refused and reading goes on after the last blank line (or at the "{" line).
Parsed parseGift(const std::vector<std::string>& lines) {
    constexpr std::size_t kNone = std::string_view::npos;
    Parsed p;
    std::string block;
    std::size_t start = kNone;     // first line of the block (0-based)
    std::size_t openLine = 0;      // the line of the open "{"
    std::size_t lastBlank = kNone; // a blank line within the open answer list
    bool inBraces = false;
    const auto reset = [&] {
        block.clear();
        start = lastBlank = kNone;
        inBraces = false;
    };
    const auto flush = [&] {
        if (!trim(block).empty())
            giftQuestion(p, block, static_cast<int>(start + 1));
        reset();
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string_view t = trim(line);
        if (!inBraces && (t.empty() || t.starts_with("$CATEGORY:"))) {
            flush();
            continue;
        }
        if (t.starts_with("//")) {
            if (start != kNone)
                block += '\n'; // keeps the block's line count
            continue;
        }
        if (start == kNone)
            start = i;
        if (t.empty())
            lastBlank = i;
        bool unclosed = false;
        for (std::size_t j = 0; j < line.size() && !unclosed; ++j) {
            if (line[j] == '\\')
                ++j;
            else if (line[j] == '{' && inBraces)
                unclosed = true;
            else if (line[j] == '{')
                inBraces = true, openLine = i;
            else if (line[j] == '}')
                inBraces = false;
        }
        if (!unclosed) {
            block.append(line).append("\n");
            continue;
        }
        p.refusals.push_back({static_cast<int>(start + 1), "Вопрос в строке " + std::to_string(start + 1) +
                                                               ": фигурная скобка «{» в строке " +
                                                               std::to_string(openLine + 1) +
                                                               " не закрыта."});
        const std::size_t from = lastBlank != kNone ? lastBlank + 1 : i;
        const bool again = from > start;
        reset();
        if (again)
            i = from - 1; // read again from there
    }
    flush();
    return p;
}

// ----- Writing ---------------------------------------------------------------------------------

std::string valueRefusal(std::string_view value) {
    for (std::size_t p = 0; p < value.size(); ++p) {
        const char e = static_cast<char>(value[p] ^ store::kCipherKey);
        if (e == '\0' || e == '\r' || e == '\n') {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(value[p]));
            return std::string("управляющий символ с кодом ") + code +
                   " не может быть сохранён в файле теста.";
        }
    }
    if (value.size() > ini::kMaxValue)
        return "текст длиной " + std::to_string(value.size()) + " байт длиннее " +
               std::to_string(ini::kMaxValue) + " байт.";
    return {};
}

std::string contentOf(const std::vector<std::array<std::string, 7>>& sections, int count) {
    ini::Batch batch{std::string()};
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const std::string section = std::to_string(s + 1);
        for (std::size_t k = 0; k < encipher::kKeys.size(); ++k) {
            if (std::string why = valueRefusal(sections[s][k]); !why.empty())
                throw Error("Вопрос " + section + ", «" + std::string(encipher::kKeys[k]) + "»: " + why +
                            " Файл теста не изменён.");
            batch.write(section, encipher::kKeys[k], store::crypt(sections[s][k]));
        }
    }
    batch.write("inf", "vsego", store::crypt(std::to_string(count)));
    std::string content;
    batch.applyTo(content);
    return content;
}

std::string letterPrefix(std::size_t k) {
    return std::string(1, static_cast<char>('A' + k)) + ") ";
}

} // namespace

std::vector<std::string> decodeSource(std::string_view bytes, std::optional<Format> format) {
    std::string utf8;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        utf8 = bytes.substr(3);
    else if (bytes.starts_with("\xFF\xFE"))
        utf8 = utf16ToUtf8(bytes.substr(2), false);
    else if (bytes.starts_with("\xFE\xFF"))
        utf8 = utf16ToUtf8(bytes.substr(2), true);
    else if (const std::size_t nul = bytes.find('\0'); nul != std::string_view::npos) {
        int line = 1;
        for (std::size_t i = 0; i < nul; ++i)
            line += bytes[i] == '\n';
        throw Error(
            lineRef(line) +
            " содержит нулевые байты: файл вопросов, по всей видимости, записан в кодировке UTF-16 без "
            "метки в начале. Сохраните его в кодировке UTF-8 или Windows-1251 (ANSI) и повторите.");
    } else if (isMultibyteUtf8(bytes))
        utf8 = bytes;
    else {
        std::vector<std::string> lines = textfile::splitLines(bytes);
        refuseWindows1251Letters(lines);
        return lines;
    }
    std::vector<std::string> lines = textfile::splitLines(utf8);
    const bool gift = (format ? *format : detectFormat(lines)) == Format::Gift;
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i] = lineFromUtf8(lines[i], static_cast<int>(i + 1), gift);
    return lines;
}

std::vector<std::string> readSource(std::string_view path, std::optional<Format> format) {
    std::string bytes;
    try {
        bytes = textfile::readAll(path);
    } catch (const Error& e) {
        std::string why = e.what();
        if (!why.empty() && why.back() != '.')
            why += '.';
        throw Error("Не удалось прочитать файл вопросов: " + why);
    }
    return decodeSource(bytes, format);
}

std::optional<Format> formatNamed(std::string_view name) {
    if (name == "plain")
        return Format::Plain;
    if (name == "aiken")
        return Format::Aiken;
    if (name == "gift")
        return Format::Gift;
    return std::nullopt;
}

std::string_view formatName(Format format) {
    return format == Format::Plain ? "plain" : format == Format::Aiken ? "aiken" : "gift";
}

Format detectFormat(const std::vector<std::string>& lines) {
    bool brace = false;
    bool plainAnswer = false;
    for (const std::string& l : lines) {
        const std::string_view t = trim(l);
        if (t.starts_with("ANSWER:"))
            return Format::Aiken;
        if (t.starts_with("//"))
            continue;
        plainAnswer = plainAnswer || encipher::kindOf(l) == encipher::LineKind::Answer;
        brace = brace || findUnescaped(l, "{") != std::string_view::npos;
    }
    return brace && !plainAnswer ? Format::Gift : Format::Plain;
}

Parsed parse(const std::vector<std::string>& lines, Format format) {
    Parsed p = format == Format::Plain   ? parsePlain(lines)
               : format == Format::Aiken ? parseAiken(lines)
                                         : parseGift(lines);
    if (p.items.empty() && p.refusals.empty())
        p.refusals.push_back({1, "В файле нет ни одного вопроса."});
    return p;
}

std::string testFileContent(const std::vector<Item>& items) {
    std::vector<std::array<std::string, 7>> sections(items.size());
    for (std::size_t s = 0; s < items.size(); ++s) {
        const Item& item = items[s];
        sections[s][0] = item.text;
        for (std::size_t k = 0; k < item.answers.size() && k < 5; ++k)
            sections[s][k + 1] = letterPrefix(k) + item.answers[k];
        sections[s][6] = std::string(1, static_cast<char>('1' + item.right));
    }
    return contentOf(sections, static_cast<int>(items.size()));
}

std::string testFileContent(const encipher::Result& result) {
    return contentOf(result.sections, result.questions);
}

std::vector<Item> itemsOf(std::string_view fileName) {
    encipher::TestFile file;
    const std::vector<std::string> problems = encipher::checkFile(fileName, &file);
    if (!problems.empty()) {
        std::string text = "Файл теста нельзя выгрузить:";
        for (const std::string& p : problems)
            text += "\n  " + p;
        throw Error(text);
    }
    std::vector<Item> items;
    items.reserve(file.questions.size());
    for (const encipher::Question& q : file.questions) {
        Item item;
        item.line = q.number;
        item.text = std::string(trim(q.text));
        const int right = q.right[0] - '1';
        for (std::size_t k = 0; k < 5; ++k) {
            std::string_view a = q.answers[k];
            if (a.size() >= 2 && a[0] == static_cast<char>('A' + k) && a[1] == ')')
                a = a.substr(2);
            a = trim(a);
            if (a.empty()) {
                if (static_cast<int>(k) == right)
                    throw Error("Вопрос " + std::to_string(q.number) +
                                ": правильный ответ пуст, такой тест нельзя выгрузить.");
                continue;
            }
            if (static_cast<int>(k) == right)
                item.right = static_cast<int>(item.answers.size());
            item.answers.emplace_back(a);
        }
        if (item.answers.size() < 2)
            throw Error("Вопрос " + std::to_string(q.number) +
                        ": меньше двух ответов, такой тест нельзя выгрузить.");
        items.push_back(std::move(item));
    }
    return items;
}

std::string exportText(const std::vector<Item>& items, Format format) {
    std::string out;
    const auto line = [&](std::string_view utf8) { out.append(utf8).append("\r\n"); };
    // A text as Unicode: the notation turned into the characters it stands for where they read back
    // as the same notation on import (B^2 as B², \mu_0 as μ₀), kept as written elsewhere.
    const auto u = [](std::string_view codePage) {
        return notation::toUnicodeSource(QString::fromStdString(cp::toUtf8(codePage))).toStdString();
    };
    const auto giftEscaped = [](std::string_view s) {
        std::string e;
        for (char c : s) {
            if (isGiftEscape(c))
                e += '\\';
            e += c;
        }
        return e;
    };
    for (std::size_t n = 0; n < items.size(); ++n) {
        const Item& item = items[n];
        const std::string where = "Вопрос " + std::to_string(n + 1) + ": ";
        if (format == Format::Plain) {
            if (encipher::kindOf(item.text) != encipher::LineKind::Question)
                throw Error(where + "его текст в простом формате читался бы как ответ или разделитель.");
            line(u(item.text));
            for (std::size_t k = 0; k < item.answers.size(); ++k) {
                if (item.answers[k].ends_with('*'))
                    throw Error(where +
                                "ответ кончается звёздочкой, в простом формате это отметка правильного.");
                line(std::string(1, static_cast<char>('A' + k)) + ") " + u(item.answers[k]) +
                     (static_cast<int>(k) == item.right ? "*" : ""));
            }
        } else if (format == Format::Aiken) {
            if (item.text.starts_with("ANSWER:"))
                throw Error(where + "текст начинается с «ANSWER:».");
            line(u(item.text));
            for (std::size_t k = 0; k < item.answers.size(); ++k)
                line(std::string(1, static_cast<char>('A' + k)) + ". " + u(item.answers[k]));
            line("ANSWER: " + std::string(1, static_cast<char>('A' + item.right)));
        } else {
            if (item.text.starts_with("//") || startsWithFormatTag(item.text))
                throw Error(where +
                            "текст начинается с «//» или метки формата «[…]», в GIFT он читался бы иначе.");
            for (const std::string& a : item.answers)
                if (startsWithFormatTag(a) || a.starts_with('%'))
                    throw Error(where +
                                "ответ начинается с метки формата «[…]» или с «%», в GIFT это читалось "
                                "бы иначе.");
            line("// " + std::to_string(n + 1));
            line(giftEscaped(u(item.text)) + " {");
            for (std::size_t k = 0; k < item.answers.size(); ++k)
                line((static_cast<int>(k) == item.right ? "=" : "~") + giftEscaped(u(item.answers[k])));
            line("}");
        }
        out += "\r\n";
    }
    return out;
}

namespace {

void installUnderLock(std::string_view path, std::string_view content, std::string_view courseFolder,
                      std::string& backup) {
    atomicfile::update(
        path, atomicfile::Missing::Create,
        [&](const std::string* old) -> std::optional<std::string> {
            if (old) {
                // Written under the test file's lock, which every install holds: the backup needs
                // no lock of its own, and it keeps the test file's permissions.
                const std::string name = std::string(path) + ".bak";
                atomicfile::replaceUnderLockOf(name, *old, atomicfile::followLinks(fsys::resolve(path)),
                                               courseFolder);
                backup = fsys::displayName(name);
            }
            return std::string(content);
        },
        courseFolder);
}

} // namespace

std::string install(std::string_view path, std::string_view content, std::string_view courseFolder) {
    std::string backup;
    try {
        installUnderLock(path, content, courseFolder, backup);
    } catch (const WriteError& e) {
        throw Error("Тест не установлен: не удалось записать \"" + e.path +
                    "\": " + atomicfile::reason(e.code) + ". Прежний файл теста не изменён.");
    }
    return backup;
}

std::vector<std::string> installFigures(std::string_view sourcePath, std::string_view courseFolder,
                                        const std::vector<std::string>& texts) {
    return installFigures(figuresBeside(sourcePath, texts), sourceFolderOf(sourcePath), courseFolder);
}

std::string sourceFolderOf(std::string_view sourcePath) {
    return QFileInfo(QString::fromStdString(fsys::resolve(sourcePath))).absolutePath().toStdString();
}

std::vector<Figure> figuresBeside(std::string_view sourcePath, const std::vector<std::string>& texts) {
    QStringList names;
    for (const std::string& t : texts)
        for (const QString& name : notation::figureNames(QString::fromStdString(cp::toUtf8(t))))
            if (!names.contains(name))
                names << name;
    const QString from = QString::fromStdString(sourceFolderOf(sourcePath));
    std::vector<Figure> figures;
    for (const QString& name : names) {
        Figure figure{name.toStdString(), std::nullopt};
        const QString path = notation::plainFigureName(name) ? notation::figurePath(from, name) : QString();
        if (!path.isEmpty()) {
            QFile in(path);
            if (!in.open(QIODevice::ReadOnly))
                throw Error("Не удалось прочитать рисунок " + path.toStdString() + ": " +
                            in.errorString().toStdString() + ". Тест не установлен.");
            figure.bytes = in.readAll().toStdString();
        }
        figures.push_back(std::move(figure));
    }
    return figures;
}

std::vector<std::string> installFigures(const std::vector<Figure>& figures, std::string_view sourceFolder,
                                        std::string_view courseFolder) {
    if (figures.empty())
        return {};
    const std::string folder = std::string(courseFolder) + "/data/tests/img";
    const QString to = QString::fromStdString(fsys::resolve(folder));
    for (const Figure& figure : figures) {
        const QString name = QString::fromStdString(figure.name);
        if (!notation::plainFigureName(name))
            throw Error(
                "Рисунок «" + figure.name +
                "»: имя рисунка должно быть простым именем файла, без папки и «..». Тест не установлен.");
        if (!figure.bytes && notation::figurePath(to, name).isEmpty())
            throw Error("Рисунка «" + figure.name + "» нет ни рядом с файлом вопросов (" +
                        std::string(sourceFolder) + "), ни в папке рисунков курса " + to.toStdString() +
                        ". Тест не установлен.");
    }
    if (!QDir().mkpath(to))
        throw Error("Не удалось создать папку рисунков курса " + to.toStdString() + ". Тест не установлен.");
    std::vector<std::string> copied;
    for (const Figure& figure : figures) {
        if (!figure.bytes)
            continue; // in the course already
        const QString target = QDir(to).filePath(QString::fromStdString(figure.name));
        textfile::replace(fsys::rawPath(target.toStdString()), *figure.bytes);
        copied.push_back(figure.name);
    }
    return copied;
}

std::string installPath(std::string_view courseFolder, int n) {
    std::string folder(courseFolder);
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += '/';
    const std::string tests = folder + "data/tests";
    if (!fsys::exists(tests))
        throw Error("В папке курса \"" + fsys::displayName(courseFolder) +
                    "\" нет папки data/tests: укажите папку курса.");
    return tests + "/test" + std::to_string(n) + ".ini";
}

Enciphered encipherForInstall(std::string_view sourcePath, const encipher::Working& working) {
    if (sourcePath.empty())
        throw Error("Файл вопросов не выбран.");
    std::vector<std::string> lines;
    try {
        lines = readSource(sourcePath);
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + " Файл теста не изменён.");
    }
    if (std::string why = encipher::sourceRefusal(lines); !why.empty())
        throw Error(why + " Файл теста не изменён.");
    Enciphered out;
    out.next = working;
    out.result = encipher::convert(lines, out.next);
    out.content = testFileContent(out.result);
    return out;
}

Installed installEnciphered(std::string_view sourcePath, std::string_view courseFolder, int n,
                            encipher::Working& working) {
    if (sourcePath.empty())
        throw Error("Файл вопросов не выбран.");
    const std::string path = installPath(courseFolder, n);
    Enciphered enciphered = encipherForInstall(sourcePath, working);
    Installed out;
    out.result = std::move(enciphered.result);
    out.backup = install(path, enciphered.content, courseFolder);
    out.path = fsys::displayName(path);
    working = std::move(enciphered.next);
    return out;
}

} // namespace ortavia::testing::authoring
