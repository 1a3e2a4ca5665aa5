#pragma once
// Tables leaving the program: the class overview and the test journal as CSV or XLSX files, the
// format chosen by the file name's extension. CSV is UTF-8 with a byte-order mark, ";" between
// fields and CR LF after each row, a field quoted only where it must be (what a spreadsheet in the
// Russian and Kazakh locales opens directly); XLSX is written with libxlsxwriter, numbers as
// numbers. A file is written whole or not at all: a failed export leaves the old file as it was.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>
#include <vector>

#include "reports/class_table.h"

class QIODevice;

namespace ortavia::reports {

struct Cell {
    QString text;
    std::optional<double> number; // written as a number to XLSX
};

struct Table {
    QString title; // the sheet's name and the printed heading
    QStringList header;
    std::vector<std::vector<Cell>> rows;
};

enum class TableFormat { Csv, Xlsx };

// The format named by a file name's extension (letter case ignored), or nullopt.
std::optional<TableFormat> formatOf(const QString& path);

// One CSV field as written: quoted, with its quotes doubled, when it holds ";", a quote, a line
// break, or blanks at either end.
QString csvField(const QString& text);

// A cell as a CSV field: a number with a decimal comma; a text that a spreadsheet would take for a
// formula (beginning with "=", "+", "-", "@", a tab or a carriage return) behind an apostrophe, so
// that it is shown as the text it is.
QString csvCell(const Cell& cell);

// The whole CSV text (byte-order mark, header row, rows) written to an open device. Returns false
// when the device refuses a write.
bool writeCsv(const Table& table, QIODevice& device);

// Writes the table to path in the format of its extension. Throws Error (Russian) for an unknown
// extension or a file that cannot be written; the file at path is then unchanged. Refused as well:
// a symbolic link in path's place, a file of the course in the current directory (its user list,
// records, settings, journals and tests), and for XLSX a table past the limits of a sheet. The
// file is written to a temporary file beside path and renamed over it: a new file is made with
// the umask, a replaced one keeps its permission bits and group.
void exportTable(const Table& table, const QString& path);
// The same for a path in the file system's own bytes (a command-line argument as it came).
void exportTable(const Table& table, const QByteArray& nativePath);

// The class overview as a table: grades as numbers where they are whole numbers.
// The rows given (as the overview shows them, sorted and filtered), or all rows of the table.
Table classTableExport(const std::vector<const StudentRow*>& rows);
Table classTableExport(const ClassTable& classTable);

} // namespace ortavia::reports
