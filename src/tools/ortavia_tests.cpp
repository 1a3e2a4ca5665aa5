// ortavia-tests: the test files of the course from the command line, built from the same core as
// the program: the conversion of the test encipher tool, the check of a test file as the test run
// reads it, and a readable view of its questions; a new course folder; the class table and the
// test journal exported as CSV or XLSX.
#include <QDir>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "accounts/accounts.h"
#include "reports/class_table.h"
#include "reports/item_analysis.h"
#include "reports/journal_stats.h"
#include "reports/table_export.h"
#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/textfile.h"
#include "testing/authoring.h"
#include "testing/encipher.h"
#include "testing/notation.h"
#include "testing/options.h"

namespace {

using namespace ortavia;
namespace enc = testing::encipher;
namespace au = testing::authoring;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr std::string_view kUsageText =
    "Использование:\n"
    "  ortavia-tests encipher ИСХОДНЫЙ.txt ТЕСТ.ini\n"
    "      шифрует файл вопросов (UTF-8, UTF-16 с меткой или Windows-1251) в файл теста, как окно\n"
    "      «Шифрование тестовых вопросов»; существующий файл теста обновляется одной заменой.\n"
    "  ortavia-tests check ТЕСТ.ini\n"
    "      проверяет файл теста так, как его читает тестирование, и называет каждую ошибку, а также\n"
    "      неизвестные команды и непарные скобки записи формул и рисунки, которых нет в папке img\n"
    "      рядом с тестом; код выхода 0 только для исправного файла.\n"
    "  ortavia-tests show ТЕСТ.ini\n"
    "      показывает расшифрованные вопросы, ответы и правильные ответы (формулы знаками Юникода).\n"
    "  ortavia-tests init ПАПКА\n"
    "      создаёт новую папку курса из шаблона (документы, тесты, настройки по умолчанию, тексты\n"
    "      титульного листа); существующая папка должна быть пустой, иначе в неё ничего не пишется.\n"
    "  ortavia-tests grades ПАПКА_КУРСА ФАЙЛ.csv|ФАЙЛ.xlsx\n"
    "      записывает сводную ведомость: каждый студент списка users с десятью оценками, как они\n"
    "      записаны в users.ini, и числом сданных тестов; записи с ошибкой называются (код 1).\n"
    "  ortavia-tests journal ПАПКА_КУРСА ФАЙЛ.csv|ФАЙЛ.xlsx\n"
    "      записывает журнал тестов (файл из настроек администратора) пятью столбцами: имя, время,\n"
    "      дата, тест, оценка; строки не из пяти полей пропускаются и считаются (код 1).\n"
    "  ortavia-tests items ПАПКА_КУРСА ФАЙЛ.csv|ФАЙЛ.xlsx\n"
    "      записывает анализ вопросов по журналу ответов answers.log: для каждого теста и вопроса\n"
    "      число ответов, долю верных, индекс дискриминации (доля верных у лучших 27 % попыток\n"
    "      минус доля у худших 27 %) и сколько раз выбран каждый из ответов A–E.\n"
    "      Формат — по расширению: .csv (UTF-8 с меткой BOM, поля через «;») или .xlsx.\n"
    "  ortavia-tests --version\n"
    "      показывает версию.\n"
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
                (err == EACCES ? std::string("нет прав на вход в неё") : atomicfile::reason(err)) + ".");
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

// A question or answer as the student reads it: the notation as Unicode text.
void outText(std::string_view codePage) {
    std::cout << testing::notation::toPlainText(QString::fromStdString(cp::toUtf8(codePage))).toStdString();
}

// What the notation of a test's texts cannot read, with the question and position (problems), and
// the figures missing from the test file's figure folder, the folder img beside it (notes: a test
// file checked away from its course has none).
struct NotationFindings {
    std::vector<std::string> problems, notes;
};
NotationFindings notationFindings(const enc::TestFile& content, const QString& imageFolder) {
    NotationFindings found;
    for (const enc::Question& q : content.questions) {
        const auto check = [&](const std::string& codePage, const std::string& where) {
            const QString text = QString::fromStdString(cp::toUtf8(codePage));
            const std::string at = "вопрос " + std::to_string(q.number) + where;
            for (const testing::notation::Problem& p : testing::notation::problems(text))
                found.problems.push_back(at + ", позиция " + std::to_string(p.column) + ": " +
                                         p.text.toStdString() + ".");
            for (const QString& name : testing::notation::figureNames(text))
                if (testing::notation::plainFigureName(name) &&
                    testing::notation::figurePath(imageFolder, name).isEmpty())
                    found.notes.push_back(at + ": рисунка «" + name.toStdString() + "» нет в папке " +
                                          imageFolder.toStdString() + ".");
        };
        if (!q.missing[0])
            check(q.text, "");
        for (std::size_t k = 0; k < 5; ++k)
            if (!q.missing[k + 1])
                check(q.answers[k], ", ответ " + std::string(1, static_cast<char>('A' + k)));
    }
    return found;
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
    const NotationFindings notation =
        notationFindings(content, QDir::current().filePath(QStringLiteral("img")));
    for (const std::string& n : notation.problems)
        std::cout << "запись формул: " << n << '\n';
    for (const std::string& n : notation.notes)
        std::cout << "замечание: " << n << '\n';
    if (content.stopped) {
        std::cout << "Файл теста неисправен: ошибок не меньше " << problems.size() << " (проверены вопросы 1–"
                  << content.questions.size() << " из " << content.count << ").\n";
        return kFailed;
    }
    if (!problems.empty()) {
        std::cout << "Файл теста неисправен: ошибок: " << problems.size() << ".\n";
        return kFailed;
    }
    if (!notation.problems.empty()) {
        std::cout << "Файл теста читается, но в записи формул ошибок: " << notation.problems.size()
                  << " (студент увидит эти места так, как они набраны).\n";
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
        q.missing[0] ? void(std::cout << "(нет ключа q)") : outText(q.text);
        std::cout << '\n';
        for (std::size_t k = 0; k < 5; ++k) {
            const bool right = q.right.size() == 1 && q.right[0] == static_cast<char>('1' + k);
            std::cout << (right ? "  * " : "    ");
            q.missing[k + 1] ? void(std::cout << "(нет ключа a" << k + 1 << ")") : outText(q.answers[k]);
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

// --- The version, and a new course folder from the template ---------------------------------

int versionCommand() {
    std::cout << "ortavia-tests " ORTAVIA_VERSION "\n";
    return kOk;
}

namespace fs = std::filesystem;

// The course template: installed beside the program (share/ortavia/course), else the sample course
// of the source tree the program was built from. Only its data folder is copied, so a template
// never passes on users, user records, a journal or plain question files.
fs::path courseTemplate() {
    std::vector<fs::path> candidates;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        candidates.push_back((self.parent_path() / ORTAVIA_TEMPLATE_FROM_BIN).lexically_normal());
    candidates.emplace_back(ORTAVIA_SOURCE_COURSE);
    std::string tried;
    for (const fs::path& c : candidates) {
        if (fs::is_directory(c / "data", ec))
            return c;
        tried += "\n  " + c.string();
    }
    throw Error("не найден шаблон папки курса; искали:" + tried);
}

std::string systemReason() {
    return atomicfile::reason(errno);
}

void copyFile(const fs::path& from, const fs::path& to) {
    std::string bytes;
    {
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            throw Error("не удалось прочитать \"" + from.string() + "\": " + systemReason() + ".");
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::read(in, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, static_cast<std::size_t>(n));
        const int readErrno = errno;
        ::close(in);
        if (n < 0) {
            errno = readErrno;
            throw Error("не удалось прочитать \"" + from.string() + "\": " + systemReason() + ".");
        }
    }
    // Created like any new file of a course folder: mode 0666 less the umask, in a group-writable
    // folder the folder's group with read and write for it.
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0)
        throw Error("не удалось создать \"" + to.string() + "\": " + systemReason() + ".");
    atomicfile::adoptFolderGroup(out, to.parent_path().string());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(out, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(out);
            throw Error("не удалось записать \"" + to.string() + "\": " + systemReason() + ".");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(out) != 0)
        throw Error("не удалось записать \"" + to.string() + "\": " + systemReason() + ".");
}

void copyTree(const fs::path& from, const fs::path& to) {
    if (::mkdir(to.c_str(), 0777) != 0)
        throw Error("не удалось создать папку \"" + to.string() + "\": " + systemReason() + ".");
    for (const fs::directory_entry& e : fs::directory_iterator(from)) {
        const std::string name = e.path().filename().string();
        if (name.ends_with(".lock") || name.find(".tmp.") != std::string::npos)
            continue; // the lock companions and unfinished replacements of a course in use
        if (e.is_directory())
            copyTree(e.path(), to / name);
        else if (e.is_regular_file())
            copyFile(e.path(), to / name);
    }
}

int initCommand(const char* folderArg) {
    if (*folderArg == '\0')
        throw Error("папка курса не указана.");
    const fs::path folder = fs::absolute(fs::path(folderArg)).lexically_normal();
    const std::string shown = folder.string();
    std::error_code ec;
    bool created = false;
    if (fs::exists(fs::symlink_status(folder, ec)) || fs::exists(folder, ec)) {
        if (!fs::is_directory(folder, ec))
            throw Error("\"" + shown + "\" — это файл, а не папка; ничего не записано.");
        if (!fs::is_empty(folder, ec) || ec)
            throw Error("папка \"" + shown +
                        "\" не пуста: новая папка курса создаётся только в новой или пустой папке; ничего не "
                        "записано.");
    } else {
        if (!fs::create_directories(folder, ec) || ec)
            throw Error("не удалось создать папку \"" + shown + "\": " + ec.message() + ".");
        created = true;
    }
    const fs::path from = courseTemplate();
    try {
        copyTree(from / "data", folder / "data");
    } catch (const std::exception&) {
        // Nothing half-made stays behind: the folder is as it was before (empty or absent).
        fs::remove_all(folder / "data", ec);
        if (created)
            fs::remove(folder, ec);
        throw;
    }
    std::cout
        << "Папка курса создана: " << shown << "\n(шаблон: " << from.string()
        << ").\nНастройки администратора взяты из шаблона (в курсе-примере логин admin, пароль admin):\n"
           "смените их при первом входе. Тексты титульного листа — в data/info/deployment.txt.\n";
    return kOk;
}

// --- The teacher's results: the class table and the journal as CSV or XLSX ------------------

// Where an export goes, fixed before the course folder becomes the current directory; a name that
// names no known format is a wrong call.
// The path keeps the argument's bytes, so that a name that is no UTF-8 is written as it came.
struct ExportTarget {
    QByteArray path;
    bool known = false;
};

ExportTarget exportTarget(const char* outArg) {
    const fs::path out = fs::absolute(fs::path(outArg));
    ExportTarget t{QByteArray::fromStdString(out.string())};
    t.known = *outArg != '\0' && reports::formatOf(QString::fromUtf8(t.path)).has_value();
    if (!t.known)
        std::cerr << "ortavia-tests: формат выбирается по расширению файла: .csv или .xlsx, а не \"" << outArg
                  << "\".\n";
    return t;
}

// Makes the course folder the current directory; it must hold the administrator settings.
void enterCourse(const char* courseArg) {
    if (*courseArg == '\0')
        throw Error("папка курса не указана.");
    std::error_code ec;
    fs::current_path(fs::path(courseArg), ec);
    if (ec)
        throw Error("нет папки курса \"" + std::string(courseArg) + "\": " + ec.message() + ".");
    if (!fsys::exists(accounts::kSettingsFile))
        throw Error("\"" + std::string(courseArg) + "\" — не папка курса: в ней нет data/info/tumb.db.");
}

int gradesCommand(const char* courseArg, const char* outArg) {
    const ExportTarget target = exportTarget(outArg);
    if (!target.known)
        return kUsage;
    enterCourse(courseArg);
    const reports::ClassTable table = reports::readClassTable();
    reports::exportTable(reports::classTableExport(table), target.path);
    for (const reports::StudentRow& r : table.rows) {
        if (!r.recorded)
            std::cerr << "замечание: у студента «" << cp::toUtf8(r.name) << "» нет записи в users.ini.\n";
        else if (r.faulty)
            std::cerr << "ошибка: в записи студента «" << cp::toUtf8(r.name)
                      << "» оценка отсутствует или не число от 0 до 5 (записана как есть).\n";
    }
    std::cout << "Сводная ведомость записана: студентов " << table.rows.size() << ", файл "
              << target.path.toStdString() << '\n';
    if (const int faulty = table.faulty()) {
        std::cerr << "ortavia-tests: записей с ошибкой: " << faulty << ".\n";
        return kFailed;
    }
    return kOk;
}

int journalCommand(const char* courseArg, const char* outArg) {
    const ExportTarget target = exportTarget(outArg);
    if (!target.known)
        return kUsage;
    enterCourse(courseArg);
    const std::vector<std::string> lines = textfile::readLines(accounts::kSettingsFile);
    const std::string journal =
        accounts::parseSettings(lines.empty() ? std::string() : lines.front()).journal;
    const std::optional<std::string> content = reports::readJournalContent(journal);
    if (!content)
        throw Error("журнала тестов \"" + fsys::displayName(journal) + "\" ещё нет: тестов не было.");
    reports::JournalScan scan;
    reports::exportTable(reports::journalExport(*content, &scan), target.path);
    std::cout << "Журнал записан: строк " << scan.read << ", файл " << target.path.toStdString() << '\n';
    if (scan.skipped) {
        std::cerr << "ortavia-tests: пропущено строк, которые не состоят из пяти полей через « | »: "
                  << scan.skipped << ".\n";
        return kFailed;
    }
    return kOk;
}

// --- Question authoring: import from plain, Aiken or GIFT; export back; install as test N --------

int usage();

constexpr std::string_view kAuthoringUsageText =
    "\n"
    "Вопросы из других форматов (файлы вопросов: UTF-8 с меткой или без, UTF-16 с меткой или\n"
    "Windows-1251; знак, которого нет в кодовой странице курса, называется строкой и позицией):\n"
    "  ortavia-tests import ИСХОДНЫЙ ТЕСТ.ini [--format plain|aiken|gift]\n"
    "      создаёт файл теста заново из простого формата, формата Aiken или GIFT (только вопросы с\n"
    "      выбором одного ответа: «=» правильный, «~» неправильные); формат без --format узнаётся по\n"
    "      содержимому. У вопроса 2–5 ответов; недостающие хранятся пустыми и на экране теста не видны.\n"
    "      Простой формат здесь читается строже, чем в encipher: ответы идут по порядку A), B), …,\n"
    "      ровно один отмечен «*», и ничего не переносится из предыдущего вопроса. Вопрос, который\n"
    "      нельзя принять, называется номером строки, и тогда ничего не записывается.\n"
    "  ortavia-tests export ТЕСТ.ini ВЫХОДНОЙ --format plain|aiken|gift\n"
    "      записывает тест обратно в формат вопросов (UTF-8); import выгрузки даёт тот же тест.\n"
    "  ortavia-tests install ИСХОДНЫЙ N [--course ПАПКА] [--format plain|aiken|gift]\n"
    "      читает вопросы как import и ставит тест в курс как data/tests/testN.ini (N от 1 до 10;\n"
    "      папка курса по умолчанию — текущая); прежний файл остаётся рядом как testN.ini.bak.\n"
    "      Рисунки \\img{ИМЯ} копируются из папки исходного файла в data/tests/img курса.\n"
    "  Знаки, которых нет в кодовой странице курса, но которые умеет запись формул (², λ, √, …),\n"
    "  import переводит в неё (^2, \\lambda, \\sqrt{…}); export переводит обратно в Юникод.\n";

// The options after the positional arguments: "--name value" pairs of the allowed names; nullopt
// for anything else (a wrong call).
std::optional<std::vector<std::pair<std::string, std::string>>>
options(int argc, char** argv, int from, std::initializer_list<std::string_view> allowed) {
    std::vector<std::pair<std::string, std::string>> found;
    for (int i = from; i < argc; i += 2) {
        const std::string_view name = argv[i];
        bool known = false;
        for (std::string_view a : allowed)
            known = known || name == a;
        if (!known || i + 1 >= argc)
            return std::nullopt;
        found.emplace_back(name, argv[i + 1]);
    }
    return found;
}

std::string option(const std::vector<std::pair<std::string, std::string>>& found, std::string_view name) {
    for (const auto& [n, v] : found)
        if (n == name)
            return v;
    return {};
}

// The questions of a source, or the refusals on stderr (exit 1, nothing written).
std::optional<std::vector<au::Item>> importedItems(const std::string& source, const std::string& formatName) {
    const std::vector<std::string> lines = au::readSource(source, au::formatNamed(formatName));
    const au::Format format = formatName.empty() ? au::detectFormat(lines) : *au::formatNamed(formatName);
    au::Parsed parsed = au::parse(lines, format);
    if (!parsed.refusals.empty()) {
        std::cerr << "ortavia-tests: файл вопросов (формат " << au::formatName(format)
                  << ") не принят, ничего не записано:\n";
        for (const au::Refusal& r : parsed.refusals)
            std::cerr << "строка " << r.line << ": " << r.text << '\n';
        return std::nullopt;
    }
    std::cerr << "Формат: " << au::formatName(format) << ", вопросов: " << parsed.items.size() << ".\n";
    return std::move(parsed.items);
}

bool badFormat(const std::string& name) {
    if (name.empty() || au::formatNamed(name))
        return false;
    std::cerr << "ortavia-tests: неизвестный формат \"" << name << "\": plain, aiken или gift.\n";
    return true;
}

int importCommand(int argc, char** argv) {
    const auto opts = options(argc, argv, 4, {"--format"});
    if (!opts)
        return usage();
    const std::string formatName = option(*opts, "--format");
    if (badFormat(formatName))
        return usage();
    const std::string source = absolute(argument(argv[2], "Файл вопросов"));
    const std::string output = absolute(argument(argv[3], "Файл теста"));
    const std::optional<std::vector<au::Item>> items = importedItems(source, formatName);
    if (!items)
        return kFailed;
    textfile::replace(output, au::testFileContent(*items));
    std::cout << "Файл теста записан: " << fsys::displayName(output) << ", вопросов: " << items->size()
              << ".\n";
    return kOk;
}

int exportCommand(int argc, char** argv) {
    const auto opts = options(argc, argv, 4, {"--format"});
    const std::string formatName = opts ? option(*opts, "--format") : std::string();
    if (!opts || formatName.empty()) {
        if (opts)
            std::cerr << "ortavia-tests: укажите --format plain, aiken или gift.\n";
        return usage();
    }
    if (badFormat(formatName))
        return usage();
    const std::string output = absolute(argument(argv[3], "Выходной файл"));
    const std::string fileName = enterFolderOf(argument(argv[2], "Файл теста"));
    const std::vector<au::Item> items = au::itemsOf(fileName);
    textfile::replace(output, au::exportText(items, *au::formatNamed(formatName)));
    std::cout << "Вопросы выгружены: " << fsys::displayName(output) << ", вопросов: " << items.size()
              << ".\n";
    return kOk;
}

int installCommand(int argc, char** argv) {
    const auto opts = options(argc, argv, 4, {"--format", "--course"});
    if (!opts)
        return usage();
    const std::string formatName = option(*opts, "--format");
    if (badFormat(formatName))
        return usage();
    const std::string_view numberText = argv[3];
    int n = 0;
    if (numberText.size() <= 2 && numberText.find_first_not_of("0123456789") == std::string_view::npos &&
        !numberText.empty())
        n = std::stoi(std::string(numberText));
    if (n < 1 || n > 10) {
        std::cerr << "ortavia-tests: номер теста \"" << numberText << "\" должен быть числом от 1 до 10.\n";
        return usage();
    }
    const std::string courseArg = option(*opts, "--course");
    const std::string course =
        absolute(courseArg.empty() ? fsys::currentDirectory() : argument(courseArg.c_str(), "Папка курса"));
    const std::string source = absolute(argument(argv[2], "Файл вопросов"));
    const std::optional<std::vector<au::Item>> items = importedItems(source, formatName);
    if (!items)
        return kFailed;
    const std::string path = au::installPath(course, n);
    std::vector<std::string> texts;
    for (const au::Item& item : *items) {
        texts.push_back(item.text);
        texts.insert(texts.end(), item.answers.begin(), item.answers.end());
    }
    const std::vector<std::string> figures = au::installFigures(source, course, texts);
    const std::string backup = au::install(path, au::testFileContent(*items), course);
    if (!figures.empty())
        std::cout << "Рисунки скопированы в data/tests/img: " << figures.size() << ".\n";
    std::cout << "Тест " << n << " установлен: " << fsys::displayName(path) << ", вопросов: " << items->size()
              << ".\n";
    if (!backup.empty())
        std::cout << "Прежний файл сохранён как " << backup << ".\n";
    return kOk;
}

// The authoring commands, or nullopt for another command.
std::optional<int> authoringCommand(std::string_view command, int argc, char** argv) {
    if (command != "import" && command != "export" && command != "install")
        return std::nullopt;
    if (argc < 4) {
        std::cerr << "ortavia-tests: неверное число аргументов команды " << command << ".\n";
        return usage();
    }
    if (command == "import")
        return importCommand(argc, argv);
    if (command == "export")
        return exportCommand(argc, argv);
    return installCommand(argc, argv);
}

int itemsCommand(const char* courseArg, const char* outArg) {
    const ExportTarget target = exportTarget(outArg);
    if (!target.known)
        return kUsage;
    enterCourse(courseArg);
    const std::optional<std::string> log = reports::readAnswerLog();
    if (!log)
        throw Error("журнала ответов " + std::string(testing::kAnswerLog) + " ещё нет: тестов не было.");
    const reports::ItemAnalysis analysis = reports::analyseItems(*log, reports::courseQuestionCount);
    reports::exportTable(reports::itemsExport(analysis), target.path);
    std::cout << "Анализ вопросов записан: тестов " << analysis.tests.size() << ", ответов " << analysis.lines
              << ", файл " << target.path.toStdString() << '\n';
    if (analysis.skipped) {
        std::cerr << "ortavia-tests: пропущено строк, которые не состоят из семи полей через « | » или "
                     "называют вопрос, которого в тесте нет: "
                  << analysis.skipped << ".\n";
        return kFailed;
    }
    return kOk;
}

int usage() {
    std::cerr << kUsageText << kAuthoringUsageText;
    return kUsage;
}

int run(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kUsageText << kAuthoringUsageText;
        return kOk;
    }
    if (std::optional<int> status = authoringCommand(command, argc, argv))
        return *status;
    if (command == "encipher" && argc == 4)
        return encipherCommand(argv[2], argv[3]);
    if (command == "check" && argc == 3)
        return checkCommand(argv[2]);
    if (command == "show" && argc == 3)
        return showCommand(argv[2]);
    if (command == "--version" && argc == 2)
        return versionCommand();
    if (command == "init" && argc == 3)
        return initCommand(argv[2]);
    if (command == "grades" && argc == 4)
        return gradesCommand(argv[2], argv[3]);
    if (command == "journal" && argc == 4)
        return journalCommand(argv[2], argv[3]);
    if (command == "items" && argc == 4)
        return itemsCommand(argv[2], argv[3]);
    if (command == "encipher" || command == "check" || command == "show" || command == "init" ||
        command == "grades" || command == "journal" || command == "items")
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
    } catch (const ortavia::WriteError& e) {
        std::cerr << "ortavia-tests: не удалось записать \"" << e.path
                  << "\": " << ortavia::atomicfile::reason(e.code)
                  << ". Прежний файл, если он был, не изменён.\n";
        status = kFailed;
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
