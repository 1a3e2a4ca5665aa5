#include "reports/report_page.h"

#include <QColor>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextOption>

#include "store/codepage.h"
#include "store/convert.h"
#include "store/error.h"

namespace ortavia::reports {
namespace {

struct Place {
    const char* name;
    MmPoint at;
};

constexpr Place kHeading{"QRLabel15", {79.9_mm, 13.8_mm}};
constexpr Place kUserCaption{"QRLabel1", {75.7_mm, 23.3_mm}};
constexpr Place kUserName{"QRLabel2", {101.6_mm, 23.3_mm}};
constexpr Place kTotal{"QRLabel16", {68.0_mm, 93.1_mm}};
// Tests 1 to 6 in the left column, 7 to 10 in the right one.
constexpr std::array<Place, 10> kTests{{
    {"QRLabel3", {30.2_mm, 36.0_mm}},
    {"QRLabel4", {30.2_mm, 45.5_mm}},
    {"QRLabel5", {30.2_mm, 55.6_mm}},
    {"QRLabel6", {30.2_mm, 65.6_mm}},
    {"QRLabel7", {30.2_mm, 75.7_mm}},
    {"QRLabel8", {30.2_mm, 85.7_mm}},
    {"QRLabel9", {110.6_mm, 35.5_mm}},
    {"QRLabel10", {110.1_mm, 45.5_mm}},
    {"QRLabel11", {110.1_mm, 55.6_mm}},
    {"QRLabel12", {110.1_mm, 65.6_mm}},
}};

QString shown(std::string_view codePageText) {
    return QString::fromStdString(cp::toUtf8(codePageText));
}

} // namespace

PaperMap::PaperMap(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    perMmX_ = device->logicalDpiX() / 25.4;
    perMmY_ = device->logicalDpiY() / 25.4;
    // A paged device puts the painter's origin at the corner of its paint rectangle.
    if (const auto* paged = dynamic_cast<const QPagedPaintDevice*>(device)) {
        const QRectF paint = paged->pageLayout().paintRect(QPageLayout::Millimeter);
        origin_ = QPointF(-paint.left() * perMmX_, -paint.top() * perMmY_);
    }
}

QPointF PaperMap::point(MmPoint p) const {
    return origin_ + QPointF(p.left.value() * perMmX_, p.top.value() * perMmY_);
}

QRectF PaperMap::rect(MmPoint p, MmSize s) const {
    return QRectF(point(p), QSizeF(s.width.value() * perMmX_, s.height.value() * perMmY_));
}

QString testLine(int k, std::string_view value) {
    return QStringLiteral("Тестирование №%1: ").arg(k) + shown(value);
}

QString totalLine(long long sum) {
    return QStringLiteral("Итого %1 баллов из 50 возможных").arg(sum);
}

void fillUserReport(UserReport& report, std::string_view userName,
                    const std::array<std::string, 12>& stored) {
    report.userName = shown(userName);
    for (int k = 1; k <= 10; ++k)
        report.tests[k - 1] = testLine(k, stored[static_cast<std::size_t>(k - 1)]);
    long long sum = 0; // ten 32-bit values never overflow it
    for (std::size_t k = 0; k < 10; ++k)
        sum += strToInt(stored[k]);
    report.total = totalLine(sum);
}

std::vector<PrintedLabel> printedLabels(const UserReport& report) {
    std::vector<PrintedLabel> labels;
    labels.push_back({kHeading.name, kHeading.at, QStringLiteral("Отчет о пользователе")});
    labels.push_back({kUserCaption.name, kUserCaption.at, QStringLiteral("Пользователь:")});
    labels.push_back({kUserName.name, kUserName.at, report.userName});
    for (std::size_t i = 0; i < kTests.size(); ++i)
        labels.push_back({kTests[i].name, kTests[i].at, report.tests[i]});
    labels.push_back({kTotal.name, kTotal.at, report.total});
    return labels;
}

QPageLayout reportPageLayout() {
    const double m = kMargin.value();
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(m, m, m, m),
                       QPageLayout::Millimeter);
}

void paintReportPage(QPainter& painter, const UserReport& report) {
    const PaperMap paper(painter);
    const MmPoint bandCorner{kMargin, kMargin};
    painter.save();
    painter.fillRect(paper.rect(bandCorner, kBand), Qt::white);

    QFont font(QString::fromLatin1(kFontFamily));
    font.setPointSizeF(kFontSize.points());
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Labels are left-aligned, as wide as their text and wrap their words at the band's right edge.
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const PrintedLabel& label : printedLabels(report)) {
        const MmPoint at{bandCorner.left + label.at.left, bandCorner.top + label.at.top};
        const QRectF room = paper.rect(at, {kBand.width - label.at.left, kBand.height - label.at.top});
        const QRectF used = painter.boundingRect(room, label.text, option);
        painter.fillRect(used, Qt::white);
        painter.drawText(room, label.text, option);
    }
    painter.restore();
}

void writeReportPdf(const UserReport& report, const QString& path) {
    QPdfWriter writer(path);
    writer.setPageLayout(reportPageLayout());
    writer.setTitle(QStringLiteral("Отчет о пользователе"));
    writer.setCreator(QStringLiteral("Ортавия"));
    QPainter painter;
    if (!painter.begin(&writer))
        throw Error("Unable to write to " + path.toStdString());
    paintReportPage(painter, report);
    if (!painter.end())
        throw Error("Unable to write to " + path.toStdString());
}

} // namespace ortavia::reports
