#pragma once
// A table printed on A4 portrait pages with the report's 10 mm margins, drawn in millimetres on
// any painter (preview, printer, PDF): a heading on every page, the column headings repeated, the
// rows in fixed 6 mm lines, a page number at the foot. The first column takes what the others
// leave of the printable width.
#include <QPageLayout>
#include <QString>

#include "reports/report_page.h"
#include "reports/table_export.h"

class QPagedPaintDevice;

namespace ortavia::reports {

inline constexpr Millimetres kTableRow = 6_mm;
inline constexpr Millimetres kTableNarrowColumn = 11_mm; // the columns between the first and the last
inline constexpr Millimetres kTableLastColumn = 24_mm;

QPageLayout tablePageLayout();
int tableRowsPerPage();
int tablePageCount(const Table& table);

// Draws every page; device is the painter's device, asked for each new page.
void paintTablePages(QPainter& painter, QPagedPaintDevice& device, const Table& table);

// Writes the table as a PDF file. Throws Error (Russian) when the file cannot be written.
void writeTablePdf(const Table& table, const QString& path);

} // namespace ortavia::reports
