#include "course/files_course.h"

#include <QCryptographicHash>
#include <QDir>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/convert.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"
#include "store/textfile.h"
#include "testing/authoring.h"
#include "testing/notation.h"
#include "testing/testing.h"

namespace ortavia::course {
namespace {

constexpr std::string_view kRefused = "Проверьте правильность имени и пароля!";

std::string_view extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string canonical(const std::string& real) {
    char buffer[PATH_MAX];
    return ::realpath(real.c_str(), buffer) ? std::string(buffer) : std::string();
}

// The record file as it is now (empty when there is none yet).
std::string recordsContent() {
    int err = 0;
    const std::string real = fsys::resolve(fsys::storePath(accounts::kRecords));
    const std::optional<std::string_view> content = atomicfile::readShared(real, &err);
    if (!content && (err == atomicfile::kNotRegular || err == EISDIR))
        throw Error(atomicfile::notRegularMessage(real));
    return content ? std::string(*content) : std::string();
}

} // namespace

bool isDocumentPath(std::string_view path) {
    if (!path.empty() && (path.front() == '\\' || path.front() == '/'))
        path.remove_prefix(1);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        parts.push_back(path.substr(start, i - start));
        start = i + 1;
    }
    if (parts.size() < 2 || !cp::equalsNoCase(parts.front(), "data"))
        return false;
    // The test files (right answers) are no documents, whatever their name.
    if (cp::equalsNoCase(parts[1], "tests"))
        return false;
    for (const std::string_view part : parts) {
        if (part.empty() || part == "." || part == ".." || part.front() == '.')
            return false;
        for (const char c : part)
            if (static_cast<unsigned char>(c) < 0x20 || c == ':')
                return false;
    }
    // What a page shows or links to; never a settings, store, lock or backup file.
    static constexpr std::string_view kDocuments[] = {
        "htm", "html", "css",  "js",   "png", "jpg",  "jpeg", "gif", "svg", "bmp",  "ico", "pdf",
        "ppt", "pps",  "pptx", "ppsx", "doc", "docx", "rtf",  "mp3", "mp4", "webm", "wav"};
    const std::string_view ext = extensionOf(parts.back());
    for (const std::string_view known : kDocuments)
        if (cp::equalsNoCase(ext, known))
            return true;
    return false;
}

std::string fingerprintOf(const QByteArray& der) {
    return QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex().toStdString();
}

bool verifyFingerprint(const QByteArray& der, std::string_view typed) {
    std::string hex;
    for (const char c : typed) {
        if (c == ':' || c == ' ' || c == '-')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return !der.isEmpty() && hex == fingerprintOf(der);
}

FilesCourse::FilesCourse() = default;
FilesCourse::~FilesCourse() = default;

std::vector<std::string> FilesCourse::userList() {
    return textfile::readLinesIfExists(accounts::kUserList);
}

bool FilesCourse::hasRecord(std::string_view name) {
    return accounts::hasRecord(name);
}

std::array<std::string, 12> FilesCourse::storedValues(std::string_view name) {
    std::array<std::string, 12> values;
    for (int k = 1; k <= 12; ++k)
        values[static_cast<std::size_t>(k - 1)] =
            store::read(name, "test" + std::to_string(k), accounts::kRecords);
    return values;
}

const accounts::Settings& FilesCourse::loaded() {
    if (!settings_)
        settings();
    return *settings_;
}

accounts::Settings FilesCourse::settings() {
    // The first reading is the session's, also when it fails: then the session has no administrator
    // login and names no journal, as a program whose settings file is missing at its start.
    const bool first = !settings_;
    if (first)
        settings_.emplace();
    if (!fsys::exists(accounts::kSettingsFile))
        throw Error("File not found");
    const std::vector<std::string> lines = textfile::readLines(accounts::kSettingsFile);
    const accounts::Settings s = accounts::parseSettings(lines.empty() ? std::string() : lines.front());
    if (first)
        settings_ = s;
    return s;
}

std::optional<std::string> FilesCourse::writeSettings(const accounts::Settings& typed,
                                                      const std::optional<std::string>& password) {
    accounts::Settings s = typed;
    if (password)
        s.password = *password;
    else
        s.password = settings().password;
    if (const auto refusal = accounts::settingsRefusal(s, userList()))
        return refusal;
    // Takes effect at the next sign-in; this session keeps the settings it has.
    textfile::replace(accounts::kSettingsFile, accounts::settingsLine(s));
    return std::nullopt;
}

SignInResult FilesCourse::signIn(std::string_view name, std::string_view password) {
    const accounts::Settings& s = loaded();
    SignInResult result;
    // An empty login is no login: nobody signs in as administrator while the settings hold none.
    if (!s.login.empty() && name == s.login) {
        if (password != s.password) {
            result.refusal = kRefused;
            return result;
        }
        name_ = name;
        role_ = result.role = Role::Administrator;
        result.grades = grades_;
        return result;
    }
    // The record file read once: its password and the ten grades come from the same version of it.
    const std::string records = recordsContent();
    const ini::Sections sections(records);
    const auto stored = [&](std::string_view key) {
        return store::crypt(sections.read(name, key, store::kDefaultText));
    };
    if (!accounts::hasRecordIn(records, name) || stored("password") != password) {
        result.refusal = kRefused;
        return result;
    }
    // Grade by grade: a stored grade that is no number stops the sign-in, the grades before it read.
    for (int n = 1; n <= 10; ++n) {
        try {
            grades_[static_cast<std::size_t>(n - 1)] =
                static_cast<std::uint8_t>(strToInt(stored("test" + std::to_string(n))) & 0xFF);
        } catch (const Error& e) {
            result.problem = e.what();
            result.loaded = n - 1;
            result.grades = grades_;
            return result;
        }
    }
    result.loaded = 10;
    name_ = name;
    role_ = result.role = Role::Student;
    result.grades = grades_;
    return result;
}

std::optional<std::string> FilesCourse::registerUser(std::string_view name, std::string_view password) {
    if (const auto refusal = accounts::registrationRefusal(name, userList(), loaded().login))
        return refusal;
    if (const auto refusal = accounts::passwordRefusal(password))
        return refusal;
    // The whole record first, then the list: a failure leaves no record or a whole one.
    accounts::writeNewRecord(name, password);
    accounts::addToUserList(name);
    return std::nullopt;
}

bool FilesCourse::passwordMatches(std::string_view name, std::string_view password) {
    return store::read(name, "password", accounts::kRecords) == password;
}

bool FilesCourse::deleteUser(std::string_view name, std::string_view password) {
    if (!passwordMatches(name, password))
        return false;
    removeUser(name);
    return true;
}

void FilesCourse::removeUser(std::string_view name) {
    // A section without a password (grades saved under the administrator login) is nobody's record
    // and stays; a list line without any record goes.
    if (accounts::hasRecord(name))
        store::erase(name, accounts::kRecords);
    accounts::removeFromUserList(name);
}

Grades FilesCourse::pickUser(std::string_view name) {
    for (int k = 1; k <= 12; ++k)
        grades_[static_cast<std::size_t>(k - 1)] = accounts::storedGrade(name, k);
    return grades_;
}

void FilesCourse::signOut() {
    // A save that fails keeps the session (and its run) for another try.
    if (role_ != Role::None)
        accounts::saveGrades(name_, grades_);
    run_.reset();
    role_ = Role::None;
}

void FilesCourse::resume(std::string name, Role role, const Grades& grades, const std::string& journal,
                         std::unique_ptr<testing::Run> run) {
    settings();
    settings_->journal = journal;
    name_ = std::move(name);
    role_ = role;
    grades_ = grades;
    run_ = std::move(run);
}

testing::ShownQuestion FilesCourse::startRun(std::string_view testName) {
    run_.reset();
    if (role_ == Role::None)
        throw Error("Войдите в программу, чтобы пройти тест.");
    // A bad options file is named and the run goes on with the options off.
    testing::Options options;
    optionsProblem_.clear();
    try {
        options = testing::readOptions();
    } catch (const Error& e) {
        optionsProblem_ = e.what();
    }
    run_ = std::make_unique<testing::Run>(std::string(testName), name_, options, testing::randomEngine());
    return run_->question();
}

Step FilesCourse::answer(int questionNumber, int place) {
    if (!run_ || run_->finished())
        throw Error("Тест не начат.");
    Step step;
    switch (run_->answer(questionNumber, place, &step.answerLogProblem)) {
    case testing::Run::Taken::Refused:
        throw Error("Ответ не принят: вопрос " + std::to_string(questionNumber) + " сейчас не задан.");
    case testing::Run::Taken::Repeat:
    case testing::Run::Taken::Next:
        if (!run_->answered()) {
            step.next = run_->question();
            return step;
        }
        break;
    case testing::Run::Taken::Last:
        // The end is told even when the record cannot be written: the grade is journalled and in
        // the grade array.
        run_->finish(loaded().journal, grades_, false);
        if (writesRecord_) {
            try {
                accounts::saveGrades(name_, grades_);
            } catch (const Error& e) {
                step.recordProblem = e.what();
            }
        }
        break;
    }
    step.end = RunEnd{run_->grade(), run_->right(), run_->count()};
    return step;
}

void FilesCourse::abandonRun() {
    run_.reset();
}

std::vector<std::string> FilesCourse::journalLines() {
    return textfile::readLines(loaded().journal);
}

reports::ClassTable FilesCourse::classTable() {
    return reports::readClassTable();
}

reports::Statistics FilesCourse::statistics(const Progress& progress) {
    reports::Statistics s;
    reports::addClassStatistics(s, reports::readClassTable());
    reports::addJournalFile(s, loaded().journal, progress);
    return s;
}

reports::ItemAnalysis FilesCourse::itemAnalysis() {
    const std::optional<std::string> log = reports::readAnswerLog();
    return log ? reports::analyseItems(*log, reports::courseQuestionCount) : reports::ItemAnalysis{};
}

std::uint64_t FilesCourse::localReadSize() {
    // The size of a course file, 0 when it cannot be looked at or is no file.
    const auto size = [](std::string_view name) -> std::uint64_t {
        struct stat st;
        if (::stat(fsys::resolve(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return 0;
        return static_cast<std::uint64_t>(st.st_size);
    };
    return size(loaded().journal) + size(testing::kAnswerLog);
}

testing::Options FilesCourse::options() {
    return testing::readOptions();
}

void FilesCourse::writeOptions(const testing::Options& options) {
    testing::writeOptions(options);
}

Installed FilesCourse::installTest(int n, std::string_view sourceBytes) {
    namespace au = testing::authoring;
    if (n < 1 || n > 10)
        throw Error("Номер теста должен быть числом от 1 до 10.");
    const std::vector<std::string> lines = au::decodeSource(sourceBytes);
    const au::Format format = au::detectFormat(lines);
    const au::Parsed parsed = au::parse(lines, format);
    if (!parsed.refusals.empty()) {
        std::string message = "Файл вопросов (формат " + std::string(au::formatName(format)) +
                              ") не принят, файл теста не изменён:";
        for (const au::Refusal& r : parsed.refusals)
            message += "\nстрока " + std::to_string(r.line) + ": " + r.text;
        throw Error(message);
    }
    Installed out = installTestFile(n, au::testFileContent(parsed.items));
    out.questions = static_cast<int>(parsed.items.size());
    return out;
}

std::vector<testing::authoring::Item> FilesCourse::testItems(int n) {
    return testing::authoring::itemsOf(testing::testFileName("test" + std::to_string(n)));
}

TestFile FilesCourse::testFile(int n) {
    const std::string path = testing::authoring::installPath(fsys::currentDirectory(), n);
    return {fsys::displayName(path), fsys::exists(path)};
}

Installed FilesCourse::installTestFile(int n, std::string_view content) {
    namespace au = testing::authoring;
    if (n < 1 || n > 10)
        throw Error("Номер теста " + std::to_string(n) + " должен быть от 1 до 10.");
    const std::string path = au::installPath(fsys::currentDirectory(), n);
    Installed out;
    out.backup = au::install(path, content, fsys::currentDirectory());
    out.path = fsys::displayName(path);
    return out;
}

std::vector<std::string> FilesCourse::installFigures(const std::vector<testing::authoring::Figure>& figures,
                                                     std::string_view sourceFolder) {
    return testing::authoring::installFigures(figures, sourceFolder, fsys::currentDirectory());
}

QString FilesCourse::figureFolder() {
    return testing::notation::figureFolder(QDir::currentPath());
}

QUrl FilesCourse::documentUrl(std::string_view relativePath) {
    // The current directory followed directly by the relative path, found on the file system with
    // file names matched without regard to case.
    const std::string formed = fsys::currentDirectory() + std::string(relativePath);
    return QUrl::fromLocalFile(QString::fromStdString(fsys::resolve(formed)));
}

std::optional<std::string> FilesCourse::document(std::string_view relativePath) {
    if (!isDocumentPath(relativePath))
        return std::nullopt;
    std::string formed(relativePath);
    if (formed.front() != '\\' && formed.front() != '/')
        formed.insert(formed.begin(), '\\');
    // Links followed: a document may not lead out of the course folder.
    const std::string real = canonical(fsys::resolve(fsys::currentDirectory() + formed));
    const std::string root = canonical(fsys::resolve(fsys::currentDirectory()));
    if (real.empty() || root.empty() || real.compare(0, root.size() + 1, root + "/") != 0)
        return std::nullopt;
    const std::optional<std::string_view> content = atomicfile::readShared(real);
    return content ? std::optional<std::string>(std::string(*content)) : std::nullopt;
}

deployment::Reading FilesCourse::deploymentTexts() {
    return deployment::read();
}

} // namespace ortavia::course
