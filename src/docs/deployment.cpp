#include "docs/deployment.h"

#include <QStringDecoder>
#include <cerrno>
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
            r.problems.push_back(lineProblem(number, "неизвестный ключ «" + std::string(name) + "»"));
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
    int error = 0;
    const std::optional<std::string_view> content = atomicfile::readShared(path, &error);
    Reading r;
    if (content)
        r = parse(*content);
    else if (error != ENOENT && error != ENOTDIR)
        r.problems.push_back("не удалось прочитать файл: " + std::string(std::strerror(error)) +
                             "; показаны тексты по умолчанию.");
    for (std::string& p : r.problems)
        p = "Тексты титульного листа, файл «" + path + "», " + p;
    return r;
}

} // namespace ortavia::deployment
