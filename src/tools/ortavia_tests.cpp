// ortavia-tests: the test files of the course from the command line, built from the same core as
// the program: the conversion of the test encipher tool, the check of a test file as the test run
// reads it, and a readable view of its questions.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "testing/encipher.h"

namespace {

using namespace ortavia;
namespace enc = testing::encipher;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr std::string_view kUsageText =
    "Использование:\n"
    "  ortavia-tests encipher ИСХОДНЫЙ.txt ТЕСТ.ini\n"
    "      шифрует файл вопросов (текст в кодировке Windows-1251) в файл теста, как окно\n"
    "      «Шифрование тестовых вопросов»; существующий файл теста обновляется одной заменой.\n"
    "  ortavia-tests check ТЕСТ.ini\n"
    "      проверяет файл теста так, как его читает тестирование, и называет каждую ошибку;\n"
    "      код выхода 0 только для исправного файла.\n"
    "  ortavia-tests show ТЕСТ.ini\n"
    "      показывает расшифрованные вопросы, ответы и правильные ответы.\n"
    "Код выхода: 0 — успех, 1 — ошибка или неисправный файл, 2 — неверный вызов.\n";

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// A command-line path (UTF-8): in the code page, or, when the code page cannot hold it (a course
// folder "café"), the real path handed on as it is, made absolute.
std::string argument(const char* utf8, const char* what) {
    if (*utf8 == '\0')
        throw Error(std::string(what) + " не указан.");
    if (std::optional<std::string> cpText = cp::fromUtf8(utf8))
        return *cpText;
    std::string real = utf8;
    if (!isSeparator(real.front()))
        real = std::filesystem::current_path().string() + "/" + real;
    return fsys::rawPath(real);
}

std::string absolute(const std::string& path) {
    if (isSeparator(path.front()) || fsys::isRawPath(path))
        return path;
    std::string dir = fsys::currentDirectory();
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir + path;
}

struct Split {
    std::string folder; // code page, absolute
    std::string base;
};

Split split(const std::string& path) {
    const std::string full = absolute(path);
    std::size_t cut = full.size();
    while (cut > 0 && !isSeparator(full[cut - 1]))
        --cut;
    Split s{full.substr(0, cut), full.substr(cut)};
    if (s.base.empty())
        throw Error("\"" + fsys::displayName(path) + "\" оканчивается на \"/\": укажите файл, а не папку.");
    if (fsys::isRawPath(full)) {
        // The folder may be the file system's own; the file's name is a test's and goes into the
        // course code page.
        std::optional<std::string> base = cp::fromUtf8(s.base);
        if (!base)
            throw Error("Имя файла \"" + s.base +
                        "\" содержит символы, которых нет в кодовой странице курса (Windows-1251).");
        s.base = *base;
    }
    return s;
}

// Makes the folder the current directory, or says why it cannot be: missing, not a folder, or
// not open to this user. what ends the message ("" or " для файла теста").
void enterFolder(const std::string& folder, std::string_view what) {
    if (fsys::setCurrentDirectory(folder))
        return;
    const int err = errno;
    std::string real = fsys::resolve(folder);
    while (real.size() > 1 && real.back() == '/')
        real.pop_back(); // "file/" would be refused as no folder at all
    const std::string shown = "\"" + real + "\"";
    struct stat st;
    if (::stat(real.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Error("Нет папки " + shown + std::string(what) + ".");
    } else if (!S_ISDIR(st.st_mode)) {
        throw Error(shown + " — это файл, а не папка" + std::string(what) + ".");
    }
    throw Error("Нет доступа к папке " + shown + std::string(what) + ": " +
                (err == EACCES ? std::string("нет прав на вход в неё") : std::strerror(err)) + ".");
}

// Makes the file's folder the current directory (the store names files relative to it) and
// gives the store name of the file.
std::string enterFolderOf(const std::string& path) {
    const Split s = split(path);
    enterFolder(s.folder, "");
    return "\\" + s.base;
}

void out(std::string_view codePage) {
    std::cout << cp::toUtf8(codePage);
}

int encipherCommand(const char* sourceArg, const char* outputArg) {
    const std::string source = absolute(argument(sourceArg, "Файл вопросов"));
    const std::string output = argument(outputArg, "Файл теста");
    const Split s = split(output);
    constexpr std::string_view ext = ".ini";
    if (s.base.size() < ext.size() ||
        !cp::equalsNoCase(std::string_view(s.base).substr(s.base.size() - ext.size()), ext))
        throw Error("Имя файла теста \"" + cp::toUtf8(s.base) + "\" должно оканчиваться на \".ini\".");
    const std::string name = s.base.substr(0, s.base.size() - ext.size());
    if (name.empty())
        throw Error("В имени файла теста \"" + cp::toUtf8(s.base) +
                    "\" нет названия теста перед \".ini\", например Test1.ini.");
    if (name == cp::fromUtf8(enc::kNameHint))
        throw Error("\"" + cp::toUtf8(name) +
                    "\" — подсказка окна шифрования, а не название теста. Укажите, например, Test1.ini.");
    if (std::string why = enc::nameRefusal(name); !why.empty())
        throw Error(why);
    enterFolder(s.folder, " для файла теста");
    enc::Working working;
    const enc::Outcome o = enc::encipherFile(source, name, working);
    for (const enc::Note& n : o.result.notes)
        std::cerr << "замечание: " << n.text << '\n';
    std::cout << "Создание тестов успешно завершено: вопросов: " << o.result.questions
              << ", файл: " << o.outputPath << '\n';
    return kOk;
}

int checkCommand(const char* fileArg) {
    const std::string fileName = enterFolderOf(argument(fileArg, "Файл теста"));
    enc::TestFile content;
    const std::vector<std::string> problems = enc::checkFile(fileName, &content);
    if (!content.exists) {
        // Not a faulty test file: no file to check.
        for (const std::string& p : problems)
            std::cerr << "ortavia-tests: " << p << '\n';
        return kFailed;
    }
    for (const std::string& p : problems)
        std::cout << "ошибка: " << p << '\n';
    if (content.stopped) {
        std::cout << "Файл теста неисправен: ошибок не меньше " << problems.size() << " (проверены вопросы 1–"
                  << content.questions.size() << " из " << content.count << ").\n";
        return kFailed;
    }
    if (!problems.empty()) {
        std::cout << "Файл теста неисправен: ошибок: " << problems.size() << ".\n";
        return kFailed;
    }
    std::cout << "Файл теста исправен: вопросов: " << content.count << ".\n";
    return kOk;
}

int showCommand(const char* fileArg) {
    const std::string fileName = enterFolderOf(argument(fileArg, "Файл теста"));
    enc::TestFile content;
    const std::vector<std::string> problems = enc::checkFile(fileName, &content);
    if (!content.exists) {
        for (const std::string& p : problems)
            std::cerr << "ortavia-tests: " << p << '\n';
        return kFailed;
    }
    std::cout << "Число вопросов (vsego): ";
    if (content.vsegoMissing)
        std::cout << "нет\n";
    else {
        out(content.vsegoText);
        std::cout << '\n';
    }
    constexpr std::string_view letters = "ABCDE";
    for (const enc::Question& q : content.questions) {
        std::cout << "\nВопрос " << q.number << ": ";
        q.missing[0] ? void(std::cout << "(нет ключа q)") : out(q.text);
        std::cout << '\n';
        for (std::size_t k = 0; k < 5; ++k) {
            const bool right = q.right.size() == 1 && q.right[0] == static_cast<char>('1' + k);
            std::cout << (right ? "  * " : "    ");
            q.missing[k + 1] ? void(std::cout << "(нет ключа a" << k + 1 << ")") : out(q.answers[k]);
            std::cout << '\n';
        }
        std::cout << "  Правильный ответ: ";
        if (q.missing[6])
            std::cout << "нет ключа ap";
        else if (q.right.size() == 1 && q.right[0] >= '1' && q.right[0] <= '5')
            std::cout << q.right << " (" << letters[static_cast<std::size_t>(q.right[0] - '1')] << ")";
        else {
            std::cout << "«";
            out(q.right);
            std::cout << "» — не цифра от 1 до 5";
        }
        std::cout << '\n';
    }
    if (!problems.empty()) {
        std::cerr << "\nФайл теста неисправен:\n";
        for (const std::string& p : problems)
            std::cerr << "ошибка: " << p << '\n';
        if (content.stopped)
            std::cerr << "Проверка остановлена (ошибок не меньше " << problems.size()
                      << "): дальше вопросы не проверены.\n";
        return kFailed;
    }
    return kOk;
}

int usage() {
    std::cerr << kUsageText;
    return kUsage;
}

int run(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kUsageText;
        return kOk;
    }
    if (command == "encipher" && argc == 4)
        return encipherCommand(argv[2], argv[3]);
    if (command == "check" && argc == 3)
        return checkCommand(argv[2]);
    if (command == "show" && argc == 3)
        return showCommand(argv[2]);
    if (command == "encipher" || command == "check" || command == "show")
        std::cerr << "ortavia-tests: неверное число аргументов команды " << command << ".\n";
    else
        std::cerr << "ortavia-tests: неизвестная команда \"" << command << "\".\n";
    return usage();
}

} // namespace

int main(int argc, char** argv) {
    int status = kFailed;
    try {
        status = run(argc, argv);
    } catch (const ortavia::Error& e) {
        std::cerr << "ortavia-tests: " << e.what() << '\n';
        status = kFailed;
    } catch (const std::exception& e) {
        std::cerr << "ortavia-tests: внутренняя ошибка: " << e.what() << '\n';
        status = kFailed;
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "ortavia-tests: не удалось вывести результат.\n";
        return kFailed;
    }
    return status;
}
