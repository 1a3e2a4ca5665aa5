#include "reports/table_export.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>
#include <zlib.h>

#include "accounts/accounts.h"
#include "reports/class_table.h"
#include "store/atomicfile.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/textfile.h"
#include "testing/options.h"

namespace ortavia::reports {
namespace {

QString fromCodePage(std::string_view text) {
    return QString::fromStdString(cp::toUtf8(text));
}

std::string shown(const QByteArray& path) {
    return QString::fromUtf8(path).toStdString();
}

[[noreturn]] void cannotWrite(const QByteArray& path, const std::string& why = {}) {
    throw Error("Не удалось записать файл \"" + shown(path) + "\"" +
                (why.empty() ? std::string(".") : ": " + why + "."));
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a file is, as the file system has it: the real folder and the name in it.
struct Place {
    std::string folder, name;
};

std::optional<Place> placeOf(const std::string& path) {
    std::optional<std::string> folder = atomicfile::canonical(atomicfile::folderOf(path));
    if (!folder)
        return std::nullopt;
    return Place{std::move(*folder), baseOf(path)};
}

bool sameNameNoCase(const std::string& a, const std::string& b) {
    const std::optional<std::string> ca = cp::fromUtf8(a);
    const std::optional<std::string> cb = cp::fromUtf8(b);
    return ca && cb ? cp::equalsNoCase(*ca, *cb) : a == b;
}

// Refuses an export onto a file of the course in the current directory: the file the course reads
// under that name (a letter case other than the file's own included, as the course finds its
// files), or the file that a course file's link leads to.
void refuseCourseFile(const QByteArray& nativePath) {
    const std::string out(nativePath.constData(), static_cast<std::size_t>(nativePath.size()));
    const std::optional<Place> outPlace = placeOf(out);
    if (!outPlace)
        return; // no such folder: the write fails with its own message
    std::vector<std::pair<std::string, std::string>> files{
        {std::string(accounts::kUserList), "список пользователей"},
        {fsys::storePath(accounts::kRecords), "записи пользователей"},
        {std::string(accounts::kSettingsFile), "настройки администратора"},
        {std::string(testing::kAnswerLog), "журнал ответов"},
    };
    try {
        const std::vector<std::string> lines = textfile::readLinesIfExists(accounts::kSettingsFile);
        const std::string journal =
            accounts::parseSettings(lines.empty() ? std::string() : lines.front()).journal;
        if (!journal.empty())
            files.emplace_back(journal, "журнал тестов");
    } catch (const Error&) {
        // Settings that cannot be read name no journal.
    }
    for (int k = 1; k <= 12; ++k)
        files.emplace_back(fsys::storePath("\\data\\tests\\test" + std::to_string(k) + ".ini"), "файл теста");
    for (const auto& [name, what] : files) {
        const std::string real = fsys::resolve(name);
        const std::optional<Place> place = placeOf(real);
        const std::optional<std::string> target = atomicfile::canonical(real);
        const bool same =
            (place && place->folder == outPlace->folder && sameNameNoCase(place->name, outPlace->name)) ||
            (target && *target == outPlace->folder + (outPlace->folder == "/" ? "" : "/") + outPlace->name);
        if (same)
            cannotWrite(nativePath,
                        "это " + what + " курса (\"" + real +
                            "\"); таблица не записывается поверх файлов курса, выберите другое имя");
    }
}

constexpr std::size_t kXlsxRows = LXW_ROW_MAX;
constexpr qsizetype kXlsxCellText = 32767;

// A table that does not fit a workbook is refused whole before anything is written.
void checkXlsxLimits(const Table& table, const QByteArray& path) {
    const std::string toCsv = " Сохраните таблицу в формате CSV: там этих ограничений нет";
    if (table.rows.size() + 1 > kXlsxRows)
        cannotWrite(path, "в таблице " + std::to_string(table.rows.size() + 1) +
                              " строк вместе с заголовком, а лист XLSX вмещает не больше 1 048 576 строк." +
                              toCsv);
    const auto tooLong = [&](const QString& text, std::size_t row, std::size_t column) {
        if (text.size() > kXlsxCellText)
            cannotWrite(path, "в ячейке (строка " + std::to_string(row) + ", столбец " +
                                  std::to_string(column) + ") " + std::to_string(text.size()) +
                                  " знаков, а ячейка XLSX вмещает не больше 32 767 знаков." + toCsv);
    };
    for (qsizetype c = 0; c < table.header.size(); ++c)
        tooLong(table.header[c], 1, static_cast<std::size_t>(c) + 1);
    for (std::size_t r = 0; r < table.rows.size(); ++r)
        for (std::size_t c = 0; c < table.rows[r].size(); ++c)
            if (!table.rows[r][c].number)
                tooLong(table.rows[r][c].text, r + 2, c + 1);
}

std::atomic<unsigned> tempCounter{0};

// A new empty file beside the target, made the way any new file is (0666 less the umask), to be
// renamed over the target once it is written whole.
struct TempFile {
    std::string path;
    int fd = -1;
};

TempFile makeTemp(const QByteArray& target) {
    const std::string t(target.constData(), static_cast<std::size_t>(target.size()));
    const std::string dir = atomicfile::folderOf(t);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        cannotWrite(target, "нет папки \"" + QString::fromUtf8(dir.c_str()).toStdString() + "\"");
    for (int attempt = 0; attempt < 100; ++attempt) {
        TempFile temp;
        temp.path =
            dir + "/." + baseOf(t) + ".tmp." + std::to_string(getpid()) + "." + std::to_string(++tempCounter);
        temp.fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temp.fd >= 0)
            return temp;
        if (errno != EEXIST)
            cannotWrite(target, atomicfile::reason(errno));
    }
    cannotWrite(target, atomicfile::reason(EEXIST));
}

// Puts the written temporary file in the target's place. A file replaced keeps its permission bits
// and group; a new one has those the temporary file was made with.
void putInPlace(const TempFile& temp, const QByteArray& target) {
    struct stat old;
    if (stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (old.st_gid != getegid()) {
            [[maybe_unused]] int ignored = chown(temp.path.c_str(), static_cast<uid_t>(-1), old.st_gid);
        }
        [[maybe_unused]] int ignored = chmod(temp.path.c_str(), old.st_mode & 07777);
    }
    if (std::rename(temp.path.c_str(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.path.c_str());
        cannotWrite(target, atomicfile::reason(err));
    }
}

// A device that writes to an open file.
class FdDevice : public QIODevice {
public:
    explicit FdDevice(int fd) : fd_(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    int error = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (!atomicfile::writeFully(fd_, data, static_cast<std::size_t>(size))) {
            error = errno;
            return -1;
        }
        return size;
    }

private:
    int fd_;
};

void writeCsvFile(const Table& table, const QByteArray& path) {
    TempFile temp = makeTemp(path);
    FdDevice device(temp.fd);
    int err = 0;
    if (!writeCsv(table, device))
        err = device.error ? device.error : EIO;
    else if (fsync(temp.fd) != 0)
        err = errno;
    if (::close(temp.fd) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.path.c_str());
        cannotWrite(path, atomicfile::reason(err));
    }
    putInPlace(temp, path);
}

// XLSX sheet names: at most 31 characters, none of []:*?/\.
QString sheetName(const QString& title) {
    QString name = title.isEmpty() ? QStringLiteral("Лист1") : title;
    for (QChar& c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    return name.left(31);
}

// What went wrong in the library, in the user's words; the system's reason where one is known.
std::string xlsxReason(lxw_error status, int err) {
    switch (status) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return atomicfile::reason(ENOMEM);
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return "книга XLSX не записана до конца" +
               (err != 0 ? " (" + atomicfile::reason(err) + ")" : std::string(" (ошибка записи или сжатия)"));
    default:
        return "книга XLSX не составлена (ошибка библиотеки libxlsxwriter: " +
               std::string(lxw_strerror(status)) + ")";
    }
}

// Whether the workbook's sheet was written to its end. The library writes a sheet to a temporary
// file first and does not notice when that file cannot be written (a full disk, a size limit):
// the workbook then closes without an error, its sheet cut off. So the sheet is read back from the
// zip (its last bytes inflated) and must end with its closing tag.
bool sheetComplete(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const auto readAt = [fd](off_t offset, std::size_t size) {
        std::string bytes(size, '\0');
        const ssize_t n = pread(fd, bytes.data(), size, offset);
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    };
    const auto le = [](const std::string& b, std::size_t at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
        return v;
    };
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size < 22)
        return false;
    // The end of the central directory (no archive comment is written) and the directory itself.
    const std::string end = readAt(st.st_size - 22, 22);
    if (end.size() != 22 || le(end, 0, 4) != 0x06054b50)
        return false;
    const std::string dir = readAt(le(end, 16, 4), le(end, 12, 4));
    constexpr std::string_view kSheet = "xl/worksheets/sheet1.xml";
    for (std::size_t at = 0; at + 46 <= dir.size();) {
        if (le(dir, at, 4) != 0x02014b50)
            return false;
        const std::size_t nameLen = le(dir, at + 28, 2);
        if (std::string_view(dir).substr(at + 46, nameLen) != kSheet) {
            at += 46 + nameLen + le(dir, at + 30, 2) + le(dir, at + 32, 2);
            continue;
        }
        const off_t local = le(dir, at + 42, 4);
        const std::string header = readAt(local, 30);
        if (le(dir, at + 10, 2) != Z_DEFLATED || header.size() != 30)
            return false;
        off_t offset = local + 30 + le(header, 26, 2) + le(header, 28, 2);
        std::uint32_t left = le(dir, at + 20, 4);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return false;
        std::string tail;
        char out[65536];
        int status = Z_OK;
        while (status == Z_OK && left > 0) {
            std::string in = readAt(offset, std::min<std::uint32_t>(left, 65536));
            if (in.empty())
                break;
            offset += static_cast<off_t>(in.size());
            left -= static_cast<std::uint32_t>(in.size());
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = static_cast<uInt>(in.size());
            while (status == Z_OK && z.avail_in > 0) {
                z.next_out = reinterpret_cast<Bytef*>(out);
                z.avail_out = sizeof out;
                status = inflate(&z, Z_NO_FLUSH);
                tail.append(out, sizeof out - z.avail_out);
                if (tail.size() > 64)
                    tail.erase(0, tail.size() - 64);
            }
        }
        inflateEnd(&z);
        while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back())))
            tail.pop_back();
        return status == Z_STREAM_END && tail.ends_with("</worksheet>");
    }
    return false;
}

// The workbook goes to a temporary file beside the target and replaces it only when complete.
void writeXlsxFile(const Table& table, const QByteArray& path) {
    checkXlsxLimits(table, path);
    TempFile temp = makeTemp(path);
    ::close(temp.fd); // the library opens the file by its name; it keeps the mode it was made with
    const auto failed = [&](const std::string& why) {
        ::unlink(temp.path.c_str());
        cannotWrite(path, why);
    };
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows are written in order; memory stays flat
    errno = 0;
    lxw_workbook* book = workbook_new_opt(temp.path.c_str(), &options);
    if (!book)
        failed(xlsxReason(LXW_ERROR_CREATING_XLSX_FILE, errno));
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName(table.title).toUtf8().constData());
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_error status = LXW_NO_ERROR;
    for (int c = 0; c < table.header.size() && status == LXW_NO_ERROR; ++c)
        status = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c),
                                        table.header[c].toUtf8().constData(), bold);
    for (std::size_t r = 0; r < table.rows.size() && status == LXW_NO_ERROR; ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        const std::vector<Cell>& cells = table.rows[r];
        for (std::size_t c = 0; c < cells.size() && status == LXW_NO_ERROR; ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            if (cells[c].number)
                status = worksheet_write_number(sheet, row, col, *cells[c].number, nullptr);
            else if (!cells[c].text.isEmpty())
                status = worksheet_write_string(sheet, row, col, cells[c].text.toUtf8().constData(), nullptr);
        }
    }
    if (status == LXW_NO_ERROR && !table.header.isEmpty()) {
        worksheet_set_column(sheet, 0, 0, 28, nullptr);
        worksheet_freeze_panes(sheet, 1, 1);
    }
    errno = 0;
    const lxw_error closed = workbook_close(book);
    const int err = errno;
    if (status != LXW_NO_ERROR || closed != LXW_NO_ERROR)
        failed(xlsxReason(status != LXW_NO_ERROR ? status : closed, err));
    if (!sheetComplete(temp.path))
        failed("книга XLSX не записана до конца: лист обрезан (нет места на диске или превышен допустимый "
               "размер "
               "файла в папке файла или во временной папке)");
    putInPlace(temp, path);
}

// Spreadsheets take a text beginning with these for a formula (or run it as one).
bool startsLikeFormula(const QString& text) {
    return !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front());
}

} // namespace

std::optional<TableFormat> formatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return TableFormat::Csv;
    if (suffix == QLatin1String("xlsx"))
        return TableFormat::Xlsx;
    return std::nullopt;
}

QString csvField(const QString& text) {
    const bool quote = text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvCell(const Cell& cell) {
    if (cell.number) {
        // The decimal comma of the Russian and Kazakh locales, so that a spreadsheet reads a number.
        QString text = cell.text;
        return csvField(text.replace(QLatin1Char('.'), QLatin1Char(',')));
    }
    return csvField(startsLikeFormula(cell.text) ? QLatin1Char('\'') + cell.text : cell.text);
}

bool writeCsv(const Table& table, QIODevice& device) {
    QByteArray out("\xEF\xBB\xBF");
    auto addRow = [&out](const auto& fields, auto csvOf) {
        bool first = true;
        for (const auto& f : fields) {
            if (!first)
                out += ';';
            first = false;
            out += csvOf(f).toUtf8();
        }
        out += "\r\n";
    };
    addRow(table.header, [](const QString& s) { return csvCell({s, std::nullopt}); });
    for (const std::vector<Cell>& row : table.rows) {
        addRow(row, [](const Cell& c) { return csvCell(c); });
        if (out.size() > (1 << 20)) {
            if (device.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    return device.write(out) == out.size();
}

void exportTable(const Table& table, const QString& path) {
    exportTable(table, QFile::encodeName(path));
}

void exportTable(const Table& table, const QByteArray& nativePath) {
    const std::optional<TableFormat> format = formatOf(QString::fromUtf8(nativePath));
    if (!format)
        throw Error("Не удалось записать файл \"" + shown(nativePath) +
                    "\": формат выбирается по расширению имени файла, .csv или .xlsx.");
    struct stat st;
    if (lstat(nativePath.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode))
            cannotWrite(nativePath,
                        "это символическая ссылка, а таблица через ссылку не записывается (ссылка "
                        "могла бы вести к чужому файлу); выберите другое имя или удалите ссылку");
        if (S_ISDIR(st.st_mode))
            cannotWrite(nativePath, "это папка");
        if (!S_ISREG(st.st_mode))
            cannotWrite(nativePath, atomicfile::reason(atomicfile::kNotRegular));
    }
    refuseCourseFile(nativePath);
    if (*format == TableFormat::Csv)
        writeCsvFile(table, nativePath);
    else
        writeXlsxFile(table, nativePath);
}

Table classTableExport(const std::vector<const StudentRow*>& rows) {
    Table table;
    table.title = QStringLiteral("Сводная ведомость");
    for (const std::string& h : classTableHeader())
        table.header << QString::fromStdString(h);
    table.rows.reserve(rows.size());
    for (const StudentRow* r : rows) {
        std::vector<Cell> cells;
        cells.reserve(kOverviewTests + 2);
        cells.push_back({fromCodePage(r->name), std::nullopt});
        for (int k = 0; k < kOverviewTests; ++k) {
            const std::size_t i = static_cast<std::size_t>(k);
            Cell cell{fromCodePage(r->grades[i]), std::nullopt};
            // A number only where the stored text is the number itself ("4", not "04" or "260").
            if (r->values[i] && cell.text == QString::number(*r->values[i]))
                cell.number = *r->values[i];
            cells.push_back(std::move(cell));
        }
        if (r->recorded)
            cells.push_back({QString::number(r->passed), double(r->passed)});
        else
            cells.push_back({});
        table.rows.push_back(std::move(cells));
    }
    return table;
}

Table classTableExport(const ClassTable& classTable) {
    std::vector<const StudentRow*> rows;
    rows.reserve(classTable.rows.size());
    for (const StudentRow& r : classTable.rows)
        rows.push_back(&r);
    return classTableExport(rows);
}

} // namespace ortavia::reports
