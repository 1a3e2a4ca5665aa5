#include "reports/table_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

#include "store/codepage.h"
#include "store/error.h"

namespace ortavia::reports {
namespace {

QString fromCodePage(std::string_view text) {
    return QString::fromStdString(cp::toUtf8(text));
}

std::string shown(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

[[noreturn]] void cannotWrite(const QString& path, const QString& why = {}) {
    throw Error("Не удалось записать файл \"" + shown(path) + "\"" +
                (why.isEmpty() ? std::string(".") : ": " + why.toStdString() + "."));
}

void writeCsvFile(const Table& table, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(path, file.errorString());
    if (!writeCsv(table, file)) {
        file.cancelWriting();
        cannotWrite(path, file.errorString());
    }
    if (!file.commit())
        cannotWrite(path, file.errorString());
}

// XLSX sheet names: at most 31 characters, none of []:*?/\.
QString sheetName(const QString& title) {
    QString name = title.isEmpty() ? QStringLiteral("Лист1") : title;
    for (QChar& c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    return name.left(31);
}

// The workbook goes to a temporary file beside the target and replaces it only when complete.
void writeXlsxFile(const Table& table, const QString& path) {
    const QFileInfo target(path);
    if (!target.dir().exists())
        cannotWrite(path, QStringLiteral("нет папки"));
    QString tempPath;
    {
        QTemporaryFile temp(target.dir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
        temp.setAutoRemove(false);
        if (!temp.open())
            cannotWrite(path, temp.errorString());
        tempPath = temp.fileName();
    }
    const QByteArray tempName = QFile::encodeName(tempPath);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows are written in order; memory stays flat
    lxw_workbook* book = workbook_new_opt(tempName.constData(), &options);
    if (!book) {
        QFile::remove(tempPath);
        cannotWrite(path);
    }
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
    const lxw_error closed = workbook_close(book);
    if (status != LXW_NO_ERROR || closed != LXW_NO_ERROR) {
        QFile::remove(tempPath);
        cannotWrite(path, QString::fromUtf8(lxw_strerror(status != LXW_NO_ERROR ? status : closed)));
    }
    if (std::rename(tempName.constData(), QFile::encodeName(path).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(tempPath);
        cannotWrite(path, why);
    }
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

bool writeCsv(const Table& table, QIODevice& device) {
    QByteArray out("\xEF\xBB\xBF");
    auto addRow = [&out](const auto& fields, auto textOf) {
        bool first = true;
        for (const auto& f : fields) {
            if (!first)
                out += ';';
            first = false;
            out += csvField(textOf(f)).toUtf8();
        }
        out += "\r\n";
    };
    addRow(table.header, [](const QString& s) { return s; });
    for (const std::vector<Cell>& row : table.rows) {
        addRow(row, [](const Cell& c) { return c.text; });
        if (out.size() > (1 << 20)) {
            if (device.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    return device.write(out) == out.size();
}

void exportTable(const Table& table, const QString& path) {
    const std::optional<TableFormat> format = formatOf(path);
    if (!format)
        throw Error("Не удалось записать файл \"" + shown(path) +
                    "\": формат выбирается по расширению имени файла, .csv или .xlsx.");
    if (QFileInfo(path).isDir())
        cannotWrite(path, QStringLiteral("это папка"));
    if (*format == TableFormat::Csv)
        writeCsvFile(table, path);
    else
        writeXlsxFile(table, path);
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
