#pragma once
// The printed user report: its content (the user's name, the ten test lines and the total) and the
// one page it is printed on. The page is A4 portrait with 10 mm margins on every side; its single
// band, a white title band 99.75 mm high and as wide as the printable area, carries the labels at
// fixed places measured in millimetres from the band's top-left corner. Every length here is held
// in Millimetres; the page is drawn by paintReportPage on any painter (preview, printer, PDF, image).
#include <QPageLayout>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <array>
#include <compare>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace ortavia::reports {

// A length on paper.
class Millimetres {
public:
    constexpr Millimetres() = default;
    constexpr explicit Millimetres(double value) : value_(value) {}
    constexpr double value() const { return value_; }

    // Typographic points (1/72 inch).
    static constexpr Millimetres fromPoints(double points) { return Millimetres(points * 25.4 / 72.0); }
    constexpr double points() const { return value_ * 72.0 / 25.4; }

    constexpr Millimetres operator+(Millimetres other) const { return Millimetres(value_ + other.value_); }
    constexpr Millimetres operator-(Millimetres other) const { return Millimetres(value_ - other.value_); }
    constexpr Millimetres operator*(double factor) const { return Millimetres(value_ * factor); }
    constexpr Millimetres operator/(double divisor) const { return Millimetres(value_ / divisor); }
    constexpr auto operator<=>(const Millimetres&) const = default;

private:
    double value_ = 0;
};

namespace literals {
constexpr Millimetres operator""_mm(long double value) {
    return Millimetres(static_cast<double>(value));
}
constexpr Millimetres operator""_mm(unsigned long long value) {
    return Millimetres(static_cast<double>(value));
}
} // namespace literals

struct MmPoint {
    Millimetres left, top;
};

struct MmSize {
    Millimetres width, height;
};

using namespace literals;

inline constexpr MmSize kPaper{210_mm, 297_mm}; // A4 portrait
inline constexpr Millimetres kMargin = 10_mm;
inline constexpr MmSize kBand{kPaper.width - kMargin * 2, 99.75_mm};
inline constexpr Millimetres kFontSize = Millimetres::fromPoints(10);
inline constexpr const char* kFontFamily = "Arial";

// Millimetres on the paper in the coordinates of one painter. On a paged device (a printer, a PDF
// writer) the painter's origin is where the device's page layout puts it, and a point is placed at
// its true place on the paper whatever that layout's margins or mode; on any other device the
// painter's origin is taken as the paper's top-left corner.
class PaperMap {
public:
    explicit PaperMap(const QPainter& painter);
    QPointF point(MmPoint p) const;
    QRectF rect(MmPoint p, MmSize s) const;

private:
    QPointF origin_;
    double perMmX_ = 1, perMmY_ = 1;
};

// What the report prints: the captions of its filled labels, as shown (UTF-16).
struct UserReport {
    QString userName;              // QRLabel2
    std::array<QString, 10> tests; // QRLabel3 ... QRLabel12: "Тестирование №k: " + value
    QString total;                 // QRLabel16: "Итого N баллов из 50 возможных"
};

// One label as it is printed: its top-left corner on the band and its caption.
struct PrintedLabel {
    const char* name; // the label's component name
    MmPoint at;
    QString text;
};

// Fills the report of one user from the stored values of the user's record (tests 1 ... 12): the
// name, then the ten test lines with the values exactly as stored, then the total of their integer
// values. Tests 11 and 12 are not part of the report. A value that is not a decimal integer throws
// Error("'<value>' is not a valid integer value") with the name and the test lines already set and
// the total line as it was.
void fillUserReport(UserReport& report, std::string_view userName, const std::array<std::string, 12>& stored);

// The caption of test k's label and of the total line.
QString testLine(int k, std::string_view value);
QString totalLine(long long sum);

// The labels the page carries, in the order they are drawn: the heading, "Пользователь:", the
// name, the ten test lines and the total. The two labels of the band that are never filled
// (QRLabel13, QRLabel14) are not printed.
std::vector<PrintedLabel> printedLabels(const UserReport& report);

// The page layout of the report: A4 portrait, 10 mm margins, measured in millimetres.
QPageLayout reportPageLayout();

// Draws the report page. Millimetres are turned into the painter's coordinates with the device's
// logical resolution. On a paged device (a printer, a PDF writer) the painter's origin is where
// the device's page layout puts it, and the page is drawn at its true place on the paper whatever
// that layout's margins or mode; on any other device the painter's origin is taken as the paper's
// top-left corner.
void paintReportPage(QPainter& painter, const UserReport& report);

// Writes the report as a one-page A4 PDF file. Throws Error("Unable to write to <path>") when the
// file cannot be written.
void writeReportPdf(const UserReport& report, const QString& path);

} // namespace ortavia::reports
