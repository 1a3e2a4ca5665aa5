#include "reports/table_page.h"

#include <QDir>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>

#include "store/error.h"

namespace ortavia::reports {
namespace {

constexpr Millimetres kHeadingHeight = 12_mm;
constexpr Millimetres kFootHeight = 8_mm;
constexpr Millimetres kPrintable = kPaper.height - kMargin * 2;
constexpr Millimetres kPadding = 1_mm;

Millimetres columnLeft(const Table& table, int column) {
    const int columns = std::max<int>(1, static_cast<int>(table.header.size()));
    const Millimetres first =
        kBand.width - kTableNarrowColumn * std::max(0, columns - 2) - (columns > 1 ? kTableLastColumn : 0_mm);
    if (column == 0)
        return kMargin;
    return kMargin + first + kTableNarrowColumn * (column - 1);
}

Millimetres columnWidth(const Table& table, int column) {
    const int columns = static_cast<int>(table.header.size());
    if (column + 1 < columns)
        return columnLeft(table, column + 1) - columnLeft(table, column);
    return kMargin + kBand.width - columnLeft(table, column);
}

QFont tableFont(double points, bool bold) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void paintPage(QPainter& painter, const Table& table, int page, int pages, std::size_t first,
               std::size_t last) {
    const PaperMap paper(painter);
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(tableFont(12, true));
    painter.drawText(paper.rect({kMargin, kMargin}, {kBand.width, kHeadingHeight - 2_mm}),
                     Qt::AlignLeft | Qt::AlignVCenter, table.title);

    auto rowRect = [&](int column, Millimetres top) {
        return paper.rect({columnLeft(table, column) + kPadding, top},
                          {columnWidth(table, column) - kPadding * 2, kTableRow});
    };
    Millimetres top = kMargin + kHeadingHeight;
    painter.setFont(tableFont(8, true));
    for (int c = 0; c < table.header.size(); ++c)
        painter.drawText(rowRect(c, top), (c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter,
                         table.header[c]);
    top = top + kTableRow;
    painter.drawLine(paper.point({kMargin, top}), paper.point({kMargin + kBand.width, top}));

    painter.setFont(tableFont(9, false));
    for (std::size_t r = first; r < last; ++r) {
        const std::vector<Cell>& cells = table.rows[r];
        for (std::size_t c = 0; c < cells.size() && c < std::size_t(table.header.size()); ++c) {
            const QRectF room = rowRect(static_cast<int>(c), top);
            const QString text = painter.fontMetrics().elidedText(cells[c].text, Qt::ElideRight,
                                                                  static_cast<int>(room.width()));
            painter.drawText(room, (c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter, text);
        }
        top = top + kTableRow;
    }
    painter.setPen(Qt::gray);
    painter.drawLine(paper.point({kMargin, top}), paper.point({kMargin + kBand.width, top}));
    painter.setPen(Qt::black);
    painter.setFont(tableFont(8, false));
    painter.drawText(paper.rect({kMargin, kMargin + kPrintable - kFootHeight}, {kBand.width, kFootHeight}),
                     Qt::AlignRight | Qt::AlignBottom,
                     QStringLiteral("Страница %1 из %2").arg(page).arg(pages));
    painter.restore();
}

} // namespace

QPageLayout tablePageLayout() {
    return reportPageLayout();
}

int tableRowsPerPage() {
    const double room = (kPrintable - kHeadingHeight - kTableRow - kFootHeight).value();
    return static_cast<int>(room / kTableRow.value());
}

int tablePageCount(const Table& table) {
    const auto perPage = static_cast<std::size_t>(tableRowsPerPage());
    return std::max<int>(1, static_cast<int>((table.rows.size() + perPage - 1) / perPage));
}

void paintTablePages(QPainter& painter, QPagedPaintDevice& device, const Table& table) {
    const int pages = tablePageCount(table);
    const auto perPage = static_cast<std::size_t>(tableRowsPerPage());
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            device.newPage();
        const std::size_t first = perPage * static_cast<std::size_t>(page - 1);
        paintPage(painter, table, page, pages, first, std::min(table.rows.size(), first + perPage));
    }
}

void writeTablePdf(const Table& table, const QString& path) {
    const std::string shown = QDir::toNativeSeparators(path).toStdString();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error("Не удалось записать файл \"" + shown + "\": " + file.errorString().toStdString() + ".");
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(tablePageLayout());
        writer.setTitle(table.title);
        writer.setCreator(QStringLiteral("Ортавия"));
        QPainter painter;
        if (!painter.begin(&writer))
            throw Error("Не удалось записать файл \"" + shown + "\".");
        paintTablePages(painter, writer, table);
        painter.end();
    }
    if (!file.commit())
        throw Error("Не удалось записать файл \"" + shown + "\": " + file.errorString().toStdString() + ".");
}

} // namespace ortavia::reports
