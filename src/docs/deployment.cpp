#include "docs/deployment.h"

#include <QStringDecoder>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>

#include "store/atomicfile.h"
#include "store/fsys.h"

namespace ortavia::deployment {
namespace {

struct Key {
    std::string_view name;
    std::string Texts::*field;
};

constexpr Key kKeys[] = {
    {"institution", &Texts::institution},
    {"department", &Texts::department},
    {"specialty", &Texts::specialty},
    {"publication", &Texts::publication},
    {"compiler", &Texts::compiler},
    {"compiler_position", &Texts::compilerPosition},
    {"developer", &Texts::developer},
    {"developer_department", &Texts::developerDepartment},
    {"developer_position", &Texts::developerPosition},
    {"city", &Texts::city},
    {"year", &Texts::year},
};

std::string_view trimmed(std::string_view s) {
    constexpr std::string_view blanks = " \t\r\n\f\v";
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool isUtf8(std::string_view s) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // decode() converts only when its result becomes a QString.
    const QString text = decoder.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
    return !decoder.hasError() && !text.isNull();
}

// A text for a terminal: control characters (C0, DEL and the C1 ones of UTF-8) written as \xHH or
// \uHHHH, so that a file cannot send escape sequences to the terminal that shows the message.
std::string escaped(std::string_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            const auto c1 = static_cast<unsigned char>(s[++i]);
            out += "\\u00";
            out += kHex[c1 >> 4];
            out += kHex[c1 & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string lineProblem(std::size_t number, const std::string& what) {
    return "строка " + std::to_string(number) + ": " + what + "; строка пропущена.";
}

} // namespace

Reading parse(std::string_view content) {
    Reading r;
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (content.starts_with(bom))
        content.remove_prefix(bom.size());
    std::vector<bool> seen(std::size(kKeys), false);
    std::size_t number = 0;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        const std::string_view raw = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
        ++number;
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (!isUtf8(line)) {
            r.problems.push_back(lineProblem(number, "текст не в кодировке UTF-8"));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            r.problems.push_back(lineProblem(number, "нет знака «=» между ключом и текстом"));
            continue;
        }
        const std::string_view name = trimmed(line.substr(0, eq));
        const std::string_view value = trimmed(line.substr(eq + 1));
        std::size_t k = 0;
        while (k < std::size(kKeys) && kKeys[k].name != name)
            ++k;
        if (k == std::size(kKeys)) {
            r.problems.push_back(lineProblem(number, "неизвестный ключ «" + escaped(name) + "»"));
            continue;
        }
        if (seen[k])
            r.problems.push_back("строка " + std::to_string(number) + ": ключ «" + std::string(name) +
                                 "» повторён; взят этот текст.");
        seen[k] = true;
        if (!value.empty())
            r.texts.*kKeys[k].field = std::string(value);
    }
    return r;
}

Reading read() {
    const std::string path = fsys::resolve(kFile);
    std::string content;
    std::uint64_t size = 0;
    // Read piece by piece, so that a huge file is refused after its first piece.
    const int error = atomicfile::readPieces(path, 16 * 1024,
                                             [&](std::string_view piece, std::uint64_t, std::uint64_t total) {
                                                 size = total;
                                                 if (total > kMaxSize)
                                                     return false;
                                                 content.append(piece);
                                                 return true;
                                             });
    Reading r;
    const std::string fallback = "; показаны тексты по умолчанию.";
    if (error == 0 && size > kMaxSize)
        r.problems.push_back("файл больше 64 КБ (" + std::to_string(size) +
                             " байт) и не прочитан: тексты титульного листа так велики не бывают" + fallback);
    else if (error == 0)
        r = parse(content);
    else if (error == atomicfile::kNotRegular)
        r.problems.push_back("не удалось прочитать файл: это канал, устройство или сокет, а не обычный файл" +
                             fallback);
    else if (error == EISDIR)
        r.problems.push_back("не удалось прочитать файл: на его месте папка" + fallback);
    else if (error != ENOENT && error != ENOTDIR)
        r.problems.push_back("не удалось прочитать файл: " + std::string(std::strerror(error)) + fallback);
    for (std::string& p : r.problems)
        p = "Тексты титульного листа, файл «" + escaped(path) + "», " + p;
    return r;
}

} // namespace ortavia::deployment
