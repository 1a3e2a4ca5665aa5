// The test encipher tool's conversion and the reading back of a test file.
#include "testing/encipher.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/convert.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"
#include "store/textfile.h"
#include "testing/authoring.h"

namespace ortavia::testing::encipher {
namespace {

constexpr std::string_view kLetters = "ABCDE";
constexpr std::size_t kMaxProblems = 100;

std::string u8(std::string_view codePage) {
    return cp::toUtf8(codePage);
}

bool isAnswerLetter(char c) {
    return c >= 'A' && c <= 'E';
}

bool hasMarker(std::string_view line, LineKind kind) {
    return !line.empty() && line.back() == '*' && kind != LineKind::Separator;
}

// Line prefixes that look like an answer prefix but are not one: a lower-case Latin letter, or a
// Cyrillic capital that looks like A, B, C or E (code page bytes C0, C2, D1, C5).
bool looksLikeAnswer(std::string_view line) {
    if (line.size() < 2 || line[1] != ')')
        return false;
    const auto c = static_cast<unsigned char>(line[0]);
    return (c >= 'a' && c <= 'e') || c == 0xC0 || c == 0xC2 || c == 0xD1 || c == 0xC5;
}

bool onlyBlanks(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::string lineRef(int line) {
    return "Строка " + std::to_string(line);
}

// Follows one question of the source for the notes: which answers and markers it had.
struct QuestionTrack {
    int number = 0;
    int line = 0;
    std::array<bool, 5> seen{};
    int markers = 0;
};

void finishQuestion(const QuestionTrack& q, const Working& w, std::vector<Note>& notes) {
    if (q.number == 0)
        return;
    const std::string where =
        "Вопрос " + std::to_string(q.number) + " (строка " + std::to_string(q.line) + ")";
    std::string lacking;
    for (int k = 0; k < 5; ++k)
        if (!q.seen[k])
            lacking += std::string(lacking.empty() ? "" : ", ") + kLetters[k] + ")";
    if (!lacking.empty())
        notes.push_back(
            {q.line,
             where + ": нет строк ответов " + lacking +
                 " — записаны тексты, оставшиеся от предыдущего вопроса (или от прошлого шифрования)."});
    if (q.markers == 0)
        notes.push_back({q.line, where +
                                     ": правильный ответ не отмечен звёздочкой — записана цифра, оставшаяся "
                                     "от предыдущего вопроса или прошлого шифрования («" +
                                     u8(w.right) + "»)."});
    else if (q.markers > 1)
        notes.push_back({q.line, where + ": звёздочкой отмечено несколько строк — правильным записан ответ " +
                                     (w.right.empty() ? std::string("«»") : "«" + u8(w.right) + "»") +
                                     " по последней из них."});
}

std::string displayOf(std::string_view fileName) {
    return fsys::displayName(fsys::storePath(fileName));
}

} // namespace

std::array<std::string, 7> Working::values() const {
    return {question, answers[0], answers[1], answers[2], answers[3], answers[4], right};
}

LineKind kindOf(std::string_view line) {
    if (line.empty())
        return LineKind::Empty;
    if (line.size() >= 2 && isAnswerLetter(line[0]) && line[1] == ')')
        return LineKind::Answer;
    if (line == kSeparator)
        return LineKind::Separator;
    return LineKind::Question;
}

LineKind step(std::string_view line, Working& working, int& counter) {
    const LineKind kind = kindOf(line);
    if (kind == LineKind::Empty)
        return kind;
    const bool marker = hasMarker(line, kind);
    if (kind == LineKind::Answer) {
        std::string& a = working.answers[static_cast<std::size_t>(line[0] - 'A')];
        a.assign(line);
        if (marker)
            a.back() = ' ';
    } else if (kind == LineKind::Question) {
        working.question.assign(line);
        ++counter;
        working.number = std::to_string(counter);
    }
    if (marker && isAnswerLetter(line[0]))
        working.right.assign(1, static_cast<char>('1' + (line[0] - 'A')));
    return kind;
}

Result convert(const std::vector<std::string>& lines, Working& working) {
    Result r;
    r.lines = static_cast<int>(lines.size());
    QuestionTrack q;
    int counter = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const int lineNo = static_cast<int>(i + 1);
        const LineKind kind = kindOf(line);
        if (kind == LineKind::Question) {
            finishQuestion(q, working, r.notes);
            q = QuestionTrack{counter + 1, lineNo, {}, 0};
        }
        step(line, working, counter);
        if (kind == LineKind::Answer)
            q.seen[static_cast<std::size_t>(line[0] - 'A')] = true;
        if (hasMarker(line, kind) && isAnswerLetter(line[0]))
            ++q.markers;

        if (kind != LineKind::Empty && kind != LineKind::Separator) {
            if (counter == 0)
                r.notes.push_back({lineNo, lineRef(lineNo) +
                                               " стоит до первого вопроса: она ничего не записывает, "
                                               "а её ответ переходит к первому вопросу."});
            if (kind == LineKind::Question && onlyBlanks(line))
                r.notes.push_back(
                    {lineNo, lineRef(lineNo) + " состоит из одних пробелов и считается вопросом."});
            else if (kind == LineKind::Question && looksLikeAnswer(line))
                r.notes.push_back(
                    {lineNo, lineRef(lineNo) +
                                 " начинается не с латинской заглавной буквы A–E и скобки и поэтому "
                                 "считается вопросом."});
            else if (kind == LineKind::Question && line.find_first_not_of('*') == std::string::npos)
                r.notes.push_back({lineNo, lineRef(lineNo) +
                                               " из звёздочек — не разделитель (их должно быть ровно "
                                               "восемь) и поэтому считается вопросом."});
            if (line.size() >= 2 && line.back() == ' ' && line.find_last_not_of(' ') != std::string::npos &&
                line[line.find_last_not_of(' ')] == '*')
                r.notes.push_back({lineNo, lineRef(lineNo) + ": после звёздочки стоит пробел, поэтому это не "
                                                             "отметка правильного ответа."});
        }
        if (counter > 0) {
            if (r.sections.size() < static_cast<std::size_t>(counter))
                r.sections.resize(static_cast<std::size_t>(counter));
            r.sections[static_cast<std::size_t>(counter - 1)] = working.values();
        }
    }
    finishQuestion(q, working, r.notes);
    r.questions = counter;
    return r;
}

std::vector<Write> writeSequence(const std::vector<std::string>& lines, Working& working,
                                 const std::function<void(int counter)>& onLine) {
    std::vector<Write> writes;
    int counter = 0;
    for (const std::string& line : lines) {
        step(line, working, counter);
        if (counter > 0) {
            const std::array<std::string, 7> v = working.values();
            for (std::size_t k = 0; k < kKeys.size(); ++k)
                writes.push_back({working.number, std::string(kKeys[k]), v[k]});
        }
        if (onLine)
            onLine(counter);
    }
    writes.push_back({"inf", "vsego", std::to_string(counter)});
    return writes;
}

std::vector<Write> batchWrites(const Result& result) {
    std::vector<Write> writes;
    writes.reserve(result.sections.size() * kKeys.size() + 1);
    for (std::size_t s = 0; s < result.sections.size(); ++s)
        for (std::size_t k = 0; k < kKeys.size(); ++k)
            writes.push_back({std::to_string(s + 1), std::string(kKeys[k]), result.sections[s][k]});
    writes.push_back({"inf", "vsego", std::to_string(result.questions)});
    return writes;
}

std::string sourceRefusal(const std::vector<std::string>& lines) {
    // Read as code page bytes (no byte-order mark), UTF-16 text is a mix of letters and NUL bytes
    // that would be enciphered into values no one can read.
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find('\0') != std::string::npos)
            return lineRef(static_cast<int>(i + 1)) +
                   " содержит нулевые байты: файл вопросов, по всей видимости, записан в кодировке UTF-16 "
                   "(Юникод). Сохраните его в кодировке Windows-1251 (ANSI) и повторите шифрование.";
    bool question = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const int lineNo = static_cast<int>(i + 1);
        for (std::size_t p = 0; p < l.size(); ++p) {
            const char e = static_cast<char>(l[p] ^ store::kCipherKey);
            if (e == '\0' || e == '\r' || e == '\n') {
                char code[8];
                std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(l[p]));
                return lineRef(lineNo) + ", знак " + std::to_string(p + 1) + ": управляющий символ с кодом " +
                       code + " не может быть сохранён в файле теста. Уберите его из файла вопросов.";
            }
        }
        if (l.size() > ini::kMaxValue)
            return lineRef(lineNo) + " длиной " + std::to_string(l.size()) + " байт длиннее " +
                   std::to_string(ini::kMaxValue) +
                   " байт: при чтении теста она была бы обрезана. Сократите её или разбейте вопрос.";
        question = question || kindOf(l) == LineKind::Question;
    }
    if (!question)
        return "В файле вопросов нет ни одного вопроса (строки, которая не пуста, не является ответом "
               "«A)»–«E)» и "
               "не является разделителем «********»).";
    return {};
}

std::string nameRefusal(std::string_view testName) {
    const std::string example = " Введите простое имя файла, например Test1.";
    if (testName.empty() || onlyBlanks(testName))
        return "Название теста не введено." + example;
    if (testName == cp::fromUtf8(kNameHint).value_or(std::string()))
        return "Название теста не введено: в поле осталась подсказка." + example;
    if (testName.find('/') != std::string_view::npos || testName.find('\\') != std::string_view::npos)
        return "Название теста «" + u8(testName) +
               "» содержит знак «/» или «\\»: файл теста записывается только в текущую папку." + example;
    if (testName.find("..") != std::string_view::npos ||
        testName.find_first_not_of('.') == std::string_view::npos)
        return "Название теста «" + u8(testName) + "» содержит «..»." + example;
    for (char c : testName)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "Название теста содержит управляющий символ." + example;
    if (testName.front() == ' ' || testName.back() == ' ' || testName.front() == '\t' ||
        testName.back() == '\t')
        return "Название теста «" + u8(testName) + "» начинается или кончается пробелом." + example;
    if (cp::equalsNoCase(testName, "users"))
        return "Название «" + u8(testName) +
               "» занято: файл users.ini хранит записи пользователей и не может быть заменён тестом." +
               example;
    return {};
}

std::string outputFileName(std::string_view testName) {
    return "\\" + std::string(testName) + ".ini";
}

void writeBatch(const std::vector<Write>& writes, std::string_view fileName) {
    const bool existed = fsys::exists(fsys::storePath(fileName));
    store::Batch batch(fileName);
    for (const Write& w : writes) {
        try {
            batch.write(w.section, w.key, w.value);
        } catch (const Error& e) {
            throw Error("Значение «" + w.key + "» раздела [" + u8(w.section) + "] не может быть сохранено: " +
                        e.what() + (existed ? " Файл теста не изменён." : " Файл теста не создан."));
        }
    }
    try {
        batch.commit();
    } catch (const Error& e) {
        throw Error("Не удалось записать файл теста \"" + displayOf(fileName) + "\": " + e.what() +
                    (existed ? ". Прежний файл теста сохранён без изменений." : ". Файл теста не создан."));
    }
}

void writeOneByOne(const std::vector<Write>& writes, std::string_view fileName) {
    std::size_t done = 0;
    for (const Write& w : writes) {
        try {
            store::write(w.section, w.key, w.value, fileName);
        } catch (const Error& e) {
            throw Error("Не удалось записать файл теста \"" + displayOf(fileName) + "\": " + e.what() +
                        ". Записано значений: " + std::to_string(done) + " из " +
                        std::to_string(writes.size()) + ".");
        }
        ++done;
    }
}

Outcome encipherFile(std::string_view sourcePath, std::string_view testName, Working& working) {
    if (std::string why = nameRefusal(testName); !why.empty())
        throw Error(why);
    if (sourcePath.empty())
        throw Error("Файл вопросов не выбран.");
    std::vector<std::string> lines;
    try {
        lines = authoring::readSource(sourcePath);
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + " Файл теста не изменён.");
    }
    if (std::string why = sourceRefusal(lines); !why.empty())
        throw Error(why + " Файл теста не изменён.");
    Working next = working;
    Outcome out;
    out.result = convert(lines, next);
    const std::string fileName = outputFileName(testName);
    writeBatch(batchWrites(out.result), fileName);
    out.outputPath = displayOf(fileName);
    working = std::move(next);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Reading back.

std::vector<std::string> checkFile(std::string_view fileName, TestFile* contentOut) {
    const std::string real = fsys::resolve(fsys::storePath(fileName));
    int err = 0;
    std::optional<std::string_view> shared = atomicfile::readShared(real, &err);
    if (!shared) {
        if (contentOut)
            *contentOut = TestFile();
        std::string why = err == ENOENT                   ? "не найден."
                          : err == EISDIR                 ? "— это папка, а не файл."
                          : err == EACCES || err == EPERM ? "не читается: нет прав на чтение."
                                                          : "не читается: " + atomicfile::reason(err) + ".";
        return {"Файл теста \"" + displayOf(fileName) + "\" " + why};
    }
    return checkContent(*shared, contentOut);
}

std::vector<std::string> checkContent(std::string_view content, TestFile* contentOut) {
    TestFile file;
    std::vector<std::string> problems;
    file.exists = true;
    const ini::Sections sections(content);

    // A value as the run reads it (deciphered; the deciphered default text when missing), and
    // whether it is missing. Each read goes through its own section only.
    const auto read = [&](const std::string& section, std::string_view key, bool& missing) {
        const std::optional<std::string_view> raw = sections.find(section, key);
        missing = !raw;
        if (missing)
            return store::crypt(store::kDefaultText);
        if (raw->size() > ini::kMaxValue)
            problems.push_back("Значение «" + std::string(key) + "» раздела [" + section + "] длиной " +
                               std::to_string(raw->size()) + " байт при чтении обрезается до " +
                               std::to_string(ini::kMaxValue) + " байт.");
        return store::crypt(raw->substr(0, ini::kMaxValue));
    };
    const auto readQuestion = [&](int n) {
        Question q;
        q.number = n;
        const std::string section = std::to_string(n);
        std::array<std::string, 7> v;
        for (std::size_t k = 0; k < kKeys.size(); ++k) {
            bool missing = false;
            v[k] = read(section, kKeys[k], missing);
            q.missing[k] = missing;
        }
        q.text = v[0];
        for (std::size_t k = 0; k < 5; ++k)
            q.answers[k] = v[k + 1];
        q.right = v[6];
        return q;
    };
    const auto absent = [](const Question& q) {
        for (bool m : q.missing)
            if (!m)
                return false;
        return true;
    };

    file.vsegoText = read("inf", "vsego", file.vsegoMissing);
    if (file.vsegoMissing) {
        problems.push_back("Нет числа вопросов: ключа «vsego» в разделе [inf].");
    } else {
        int count = 0;
        try {
            count = strToInt(file.vsegoText);
            if (count < 1)
                problems.push_back("Число вопросов vsego = «" + u8(file.vsegoText) +
                                   "»: должно быть не меньше 1.");
        } catch (const Error&) {
            problems.push_back("Число вопросов vsego = «" + u8(file.vsegoText) + "» — не целое число.");
        }
        file.count = count < 1 ? 0 : count;
    }

    if (file.count > 0) {
        for (int n = 1; n <= file.count; ++n) {
            if (problems.size() >= kMaxProblems) {
                file.stopped = true;
                break;
            }
            Question q = readQuestion(n);
            const std::string section = std::to_string(n);
            if (absent(q)) {
                problems.push_back("Нет раздела [" + section + "] (вопрос " + section + " из " +
                                   std::to_string(file.count) + ").");
            } else {
                for (std::size_t k = 0; k < kKeys.size(); ++k)
                    if (q.missing[k])
                        problems.push_back("В разделе [" + section + "] нет ключа «" + std::string(kKeys[k]) +
                                           "».");
                if (!q.missing[6] && !(q.right.size() == 1 && q.right[0] >= '1' && q.right[0] <= '5'))
                    problems.push_back(
                        "В разделе [" + section + "] ap = «" + u8(q.right) +
                        "»: должна быть одна цифра от 1 до 5, иначе на вопрос нельзя ответить верно.");
            }
            file.questions.push_back(std::move(q));
        }
    } else {
        // Without a usable count: the sections that are there, from 1 on.
        for (int n = 1;; ++n) {
            Question q = readQuestion(n);
            if (absent(q))
                break;
            file.questions.push_back(std::move(q));
        }
    }
    if (contentOut)
        *contentOut = std::move(file);
    return problems;
}

} // namespace ortavia::testing::encipher
