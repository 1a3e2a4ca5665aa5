// The user report: the dialog that chooses the user, the report it fills, and the page printed
// from the preview or saved as PDF (read back with pdftotext).
#include <QDir>
#include <QFrame>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <optional>

#include "reports/report_page.h"
#include "store/error.h"
#include "store/store.h"
#include "support/harness.h"
#include "ui/look.h"
#include "ui/text.h"

using namespace ortavia;
using namespace ortavia::testsupport;
using namespace ortavia::reports::literals;

namespace {

void writeUserList(const CourseFolder& course, const std::vector<const char*>& names) {
    QByteArray bytes;
    for (const char* n : names)
        bytes += QByteArray::fromStdString(cp(n)) + "\r\n";
    course.write(QStringLiteral("users"), bytes);
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of a PDF file, one line per printed line, in drawing order.
QStringList pdfLines(const QString& path) {
    QStringList lines;
    for (const QString& l :
         run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), path, QStringLiteral("-")})
             .split(QLatin1Char('\n')))
        if (!l.trimmed().isEmpty() && l != QStringLiteral("\f"))
            lines << l.trimmed().remove(QLatin1Char('\f'));
    return lines;
}

QString pdfInfo(const QString& path) {
    return run(QStringLiteral("pdfinfo"), {path});
}

// Left and top of the first word (in millimetres from the paper's corner) as pdftotext places it.
std::optional<QPointF> wordAt(const QString& path, const QString& word) {
    const QString html =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    const QRegularExpression re(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>%1</word>")
                                    .arg(QRegularExpression::escape(word)));
    const QRegularExpressionMatch m = re.match(html);
    if (!m.hasMatch())
        return std::nullopt;
    const double perPoint = 25.4 / 72.0;
    return QPointF(m.captured(1).toDouble() * perPoint, m.captured(2).toDouble() * perPoint);
}

QStringList expectedTestLines(const std::vector<QString>& values) {
    QStringList lines;
    for (std::size_t k = 0; k < values.size(); ++k)
        lines << QStringLiteral("Тестирование №%1: %2").arg(k + 1).arg(values[k]);
    return lines;
}

// What the preview hook saw.
struct Previewed {
    int count = 0;
    reports::UserReport report;
    QString pdf;
    QWidget* parent = nullptr;
};

// Replaces the preview by a rendering to PDF in the course folder.
void renderPreviewsTo(const CourseFolder& course, Previewed& seen) {
    ui::TForm4::previewer = [&course, &seen](const reports::UserReport& report, QWidget* parent) {
        ++seen.count;
        seen.report = report;
        seen.parent = parent;
        seen.pdf = course.file(QStringLiteral("report%1.pdf").arg(seen.count));
        reports::writeReportPdf(report, seen.pdf);
    };
}

// Opens the report dialog through N40, runs inside while it is shown, and closes it with Cancel if
// it is still open afterwards. Returns whether it was.
bool withReportDialog(const Running& running, const std::function<void(ui::TOKRightDlg1*)>& inside) {
    ui::TOKRightDlg1* dialog = running.program.okRightDlg1.get();
    bool stayedOpen = false;
    QTimer::singleShot(0, dialog, [&] {
        inside(dialog);
        stayedOpen = dialog->isVisible();
        if (stayedOpen)
            dialog->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
    });
    running.trigger("N40");
    return stayedOpen;
}

void chooseAndConfirm(ui::TOKRightDlg1* dialog, const QString& name) {
    dialog->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setEditText(name);
    dialog->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
}

} // namespace

class ReportTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        ui::dialogs::resetTestState();
        ui::TForm4::resetPreviewer();
        ui::savefile::resetTestState();
    }

    void dialogLayout() {
        CourseFolder course;
        Running running;
        ui::TOKRightDlg1* d = running.program.okRightDlg1.get();
        QCOMPARE(d->windowTitle(), QStringLiteral("Отчет по пользователю"));
        QCOMPARE(d->size(), QSize(446, 184));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QCOMPARE(d->findChild<QFrame*>(QStringLiteral("Bevel1"))->geometry(), QRect(8, 8, 281, 161));
        auto* label = d->findChild<QLabel*>(QStringLiteral("Label1"));
        QCOMPARE(label->text(), QStringLiteral("Выберите пользователя:"));
        QCOMPARE(label->pos(), QPoint(52, 42));
        QVERIFY(label->font().bold());
        QCOMPARE(label->font().pixelSize(), 13);
        auto* combo = d->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        QCOMPARE(combo->geometry(), QRect(50, 70, 191, 28));
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->font().pixelSize(), 16);
        QCOMPARE(combo->currentText(), QString());
        auto* ok = d->findChild<QPushButton*>(QStringLiteral("OKBtn"));
        QCOMPARE(ok->geometry(), QRect(300, 8, 141, 57));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        auto* cancel = d->findChild<QPushButton*>(QStringLiteral("CancelBtn"));
        QCOMPARE(cancel->geometry(), QRect(300, 70, 141, 59));
        QCOMPARE(cancel->text(), QStringLiteral("Отмена"));
        QCOMPARE(d->palette().color(QPalette::Window), ui::look::kTeal);
    }

    void commandFollowsTheJournalInTheReportsMenu() {
        CourseFolder course;
        Running running;
        QStringList items;
        for (QAction* a : running.action("notch")->menu()->actions())
            items << a->objectName();
        QCOMPARE(items, QStringList({"N30", "N40", "NSvod", "NStat"}));
        QCOMPARE(running.action("N40")->text(), QStringLiteral("Отчет по пользователю"));
        QVERIFY(!running.action("notch")->isVisible());
        running.signInAdmin();
        QVERIFY(running.action("notch")->isVisible());
    }

    void listIsRefilledAtEveryShowingAndTheTextKept() {
        CourseFolder course;
        writeUserList(course, {"Айгүл", "Bob"});
        Running running;
        running.signInAdmin();
        QStringList first, second;
        QString keptText;
        withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            auto* combo = d->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
            for (int i = 0; i < combo->count(); ++i)
                first << combo->itemText(i);
            combo->setEditText(QStringLiteral("Боб"));
        });
        writeUserList(course, {"Bob", "Қанат", "Мария"});
        withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            auto* combo = d->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
            for (int i = 0; i < combo->count(); ++i)
                second << combo->itemText(i);
            keptText = combo->currentText();
        });
        QCOMPARE(first, QStringList({QStringLiteral("Айгүл"), QStringLiteral("Bob")}));
        QCOMPARE(second,
                 QStringList({QStringLiteral("Bob"), QStringLiteral("Қанат"), QStringLiteral("Мария")}));
        QCOMPARE(keptText, QStringLiteral("Боб"));

        // A chosen item stays chosen as well, and a missing list is an empty one.
        QFile::remove(course.file(QStringLiteral("users")));
        withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            auto* combo = d->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
            QCOMPARE(combo->count(), 0);
            QCOMPARE(combo->currentText(), QStringLiteral("Боб"));
        });
        QCOMPARE(boxCount(), 0);
    }

    void fiveFourAndZerosGiveNine() {
        CourseFolder course;
        storeRecord("Айгүл Серікова", {"5", "4", "0", "0", "0", "0", "0", "0", "0", "0", "3", "4"});
        writeUserList(course, {"Айгүл Серікова"});
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        const bool stayedOpen = withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            auto* combo = d->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
            combo->setCurrentIndex(0);
            d->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
        });
        QVERIFY(!stayedOpen);
        QCOMPARE(boxCount(), 0);
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.parent, running.program.okRightDlg1.get());
        QCOMPARE(running.main()->reportUserName, cp("Айгүл Серікова"));
        QCOMPARE(running.program.form4->QuickRep1.userName, QStringLiteral("Айгүл Серікова"));

        QVERIFY(pdfInfo(seen.pdf).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
        QVERIFY(pdfInfo(seen.pdf).contains(QStringLiteral("(A4)")));
        const QStringList lines = pdfLines(seen.pdf);
        const QStringList tests = expectedTestLines({"5", "4", "0", "0", "0", "0", "0", "0", "0", "0"});
        QCOMPARE(lines, QStringList({QStringLiteral("Отчет о пользователе"),
                                     QStringLiteral("Пользователь: Айгүл Серікова")}) +
                            tests + QStringList({QStringLiteral("Итого 9 баллов из 50 возможных")}));
    }

    void tenFivesGiveFifty() {
        CourseFolder course;
        storeRecord("Student", std::vector<std::string>(12, "5"));
        writeUserList(course, {"Student"});
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        QVERIFY(!withReportDialog(
            running, [](ui::TOKRightDlg1* d) { chooseAndConfirm(d, QStringLiteral("Student")); }));
        QCOMPARE(seen.count, 1);
        const QString text = pdfLines(seen.pdf).join(QLatin1Char('\n'));
        QVERIFY(text.contains(QStringLiteral("Student")));
        for (const QString& line : expectedTestLines(std::vector<QString>(10, QStringLiteral("5"))))
            QVERIFY2(text.contains(line), qPrintable(line));
        QVERIFY(text.contains(QStringLiteral("Итого 50 баллов из 50 возможных")));
        // Tests 11 and 12 never appear, nor do the two labels that are never filled.
        QVERIFY(!text.contains(QStringLiteral("№11")));
        QVERIFY(!text.contains(QStringLiteral("№12")));
        QVERIFY(!text.contains(QStringLiteral("№Х")));
        QVERIFY(!text.contains(QStringLiteral("из 60")));
    }

    void valuesPrintExactlyAsRead() {
        CourseFolder course;
        storeRecord("Bob", {"5", "4", "3", "05", " 2", "+1", "0", "0", "0", "0", "junk", "junk"});
        writeUserList(course, {"Bob"});
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        QVERIFY(!withReportDialog(running,
                                  [](ui::TOKRightDlg1* d) { chooseAndConfirm(d, QStringLiteral("Bob")); }));
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.report.tests[3], QStringLiteral("Тестирование №4: 05"));
        QCOMPARE(seen.report.tests[4], QStringLiteral("Тестирование №5:  2"));
        QCOMPARE(seen.report.tests[5], QStringLiteral("Тестирование №6: +1"));
        QCOMPARE(seen.report.total, QStringLiteral("Итого 20 баллов из 50 возможных"));
        const QString text = pdfLines(seen.pdf).join(QLatin1Char('\n'));
        QVERIFY(text.contains(QStringLiteral("Тестирование №4: 05")));
        QVERIFY(text.contains(QStringLiteral("Итого 20 баллов из 50 возможных")));
    }

    void conversionErrorLeavesTheDialogOpen() {
        CourseFolder course;
        storeRecord("Bob", {"5", "4", "x1", "0", "0", "0", "0", "0", "0", "0"});
        writeUserList(course, {"Bob"});
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        bool openAfterError = false;
        QVERIFY(withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            chooseAndConfirm(d, QStringLiteral("Bob"));
            openAfterError = d->isVisible();
        }));
        QVERIFY(openAfterError);
        QCOMPARE(seen.count, 0);
        QCOMPARE(boxCount(), 1);
        QCOMPARE(lastBoxText(), QStringLiteral("'x1' is not a valid integer value"));
        QCOMPARE(ui::dialogs::shownBoxes().back().caption, QStringLiteral("Error"));
        // The name and the test lines were set before the conversion; the total was not.
        QCOMPARE(running.main()->reportUserName, std::string("Bob"));
        QCOMPARE(running.program.form4->QuickRep1.tests[2], QStringLiteral("Тестирование №3: x1"));
        QCOMPARE(running.program.form4->QuickRep1.total, QString());
    }

    void onlyARegisteredStudentIsReported() {
        CourseFolder course;
        storeRecord("Bob", std::vector<std::string>(10, "4")); // a record, but not listed
        writeUserList(course, {"Listed Only"});                // listed, but no record
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        for (const QString& name : {QString(), QStringLiteral("  "), QStringLiteral("Никто"),
                                    QStringLiteral("Bob"), QStringLiteral("Listed Only")}) {
            const int boxes = boxCount();
            QVERIFY(withReportDialog(running, [&](ui::TOKRightDlg1* d) { chooseAndConfirm(d, name); }));
            QCOMPARE(boxCount(), boxes + 1);
            QVERIFY2(lastBoxText().contains(QStringLiteral("Выберите студента")), qPrintable(lastBoxText()));
            QVERIFY(!lastBoxText().contains(QStringLiteral("integer")));
        }
        QCOMPARE(seen.count, 0);
        QCOMPARE(running.program.form4->QuickRep1.userName, QString());
    }

    void cancelAndEscapeTouchNothing() {
        CourseFolder course;
        storeRecord("Bob", std::vector<std::string>(10, "4"));
        writeUserList(course, {"Bob"});
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        QVERIFY(!withReportDialog(running,
                                  [](ui::TOKRightDlg1* d) { chooseAndConfirm(d, QStringLiteral("Bob")); }));
        const reports::UserReport before = running.program.form4->QuickRep1;
        storeRecord("Alice", std::vector<std::string>(10, "5"));

        bool closedByCancel = false, closedByEscape = false;
        withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            d->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setEditText(QStringLiteral("Alice"));
            d->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
            closedByCancel = !d->isVisible() && d->result() == QDialog::Rejected;
        });
        withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            QTest::keyClick(d->findChild<QComboBox*>(QStringLiteral("ComboBox1")), Qt::Key_Escape);
            closedByEscape = !d->isVisible() && d->result() == QDialog::Rejected;
        });
        QVERIFY(closedByCancel);
        QVERIFY(closedByEscape);
        QCOMPARE(seen.count, 1);
        QCOMPARE(running.main()->reportUserName, std::string("Bob"));
        QCOMPARE(running.program.form4->QuickRep1.userName, before.userName);
        QCOMPARE(running.program.form4->QuickRep1.tests, before.tests);
        QCOMPARE(running.program.form4->QuickRep1.total, QStringLiteral("Итого 40 баллов из 50 возможных"));
        QCOMPARE(boxCount(), 0);
    }

    void enterConfirms() {
        CourseFolder course;
        storeRecord("Bob", std::vector<std::string>(10, "3"));
        writeUserList(course, {"Bob"});
        Running running;
        running.signInAdmin();
        Previewed seen;
        renderPreviewsTo(course, seen);
        QVERIFY(!withReportDialog(running, [](ui::TOKRightDlg1* d) {
            auto* combo = d->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
            combo->setFocus();
            QTest::keyClicks(combo, QStringLiteral("Bob"));
            QTest::keyClick(combo, Qt::Key_Return);
        }));
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.report.total, QStringLiteral("Итого 30 баллов из 50 возможных"));
    }

    void pageIsOneA4WithTheLabelsInPlace() {
        CourseFolder course;
        ui::look::installFontSubstitutes();
        reports::UserReport report;
        report.userName = QStringLiteral("Айгүл");
        for (int k = 1; k <= 10; ++k)
            report.tests[k - 1] = reports::testLine(k, "5");
        report.total = reports::totalLine(50);

        // The labels the page carries, where the band puts them.
        const std::vector<reports::PrintedLabel> labels = reports::printedLabels(report);
        QCOMPARE(labels.size(), std::size_t(14));
        QStringList names;
        for (const reports::PrintedLabel& l : labels)
            names << QString::fromLatin1(l.name);
        QVERIFY(!names.contains(QStringLiteral("QRLabel13")) && !names.contains(QStringLiteral("QRLabel14")));
        QCOMPARE(labels[9].name, "QRLabel9");
        QCOMPARE(labels[9].at.left, 110.6_mm);
        QCOMPARE(labels[9].at.top, 35.5_mm);
        QCOMPARE(labels.back().at.left, 68.0_mm);
        QCOMPARE(labels.back().at.top, 93.1_mm);
        QCOMPARE(reports::kBand.width, 190_mm);
        QCOMPARE(reports::kFontSize.points(), 10.0);

        // The same page from the PDF writer, from a printer writing PDF (as the preview prints) and
        // from a printer drawing on the whole paper.
        const QString viaWriter = course.file(QStringLiteral("writer.pdf"));
        reports::writeReportPdf(report, viaWriter);
        const QString viaPrinter = course.file(QStringLiteral("printer.pdf"));
        const QString viaFullPage = course.file(QStringLiteral("fullpage.pdf"));
        for (const QString& path : {viaPrinter, viaFullPage}) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            printer.setPageLayout(reports::reportPageLayout());
            printer.setFullPage(path == viaFullPage);
            QPainter painter(&printer);
            reports::paintReportPage(painter, report);
        }
        for (const QString& path : {viaWriter, viaPrinter, viaFullPage}) {
            const QString info = pdfInfo(path);
            QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
            QVERIFY2(info.contains(QStringLiteral("(A4)")), qPrintable(info));
            // Left edges: 10 mm margin plus the label's place on the band; the glyph box of the
            // first word begins at most a little right of it and above the label's top by less
            // than a line.
            const struct {
                QString word;
                double left, top;
            } expected[] = {
                {QStringLiteral("Отчет"), 89.9, 23.8},  {QStringLiteral("Пользователь:"), 85.7, 33.3},
                {QStringLiteral("Айгүл"), 111.6, 33.3}, {QStringLiteral("№1:"), -1, 46.0},
                {QStringLiteral("№7:"), -1, 45.5},      {QStringLiteral("№10:"), -1, 75.6},
                {QStringLiteral("Итого"), 78.0, 103.1},
            };
            for (const auto& e : expected) {
                const std::optional<QPointF> at = wordAt(path, e.word);
                QVERIFY2(at, qPrintable(e.word));
                if (e.left >= 0)
                    QVERIFY2(at->x() >= e.left - 0.2 && at->x() <= e.left + 1.0,
                             qPrintable(QStringLiteral("%1 at %2 mm").arg(e.word).arg(at->x())));
                QVERIFY2(at->y() >= e.top - 0.2 && at->y() <= e.top + 2.0,
                         qPrintable(QStringLiteral("%1 at %2 mm").arg(e.word).arg(at->y())));
            }
            const std::optional<QPointF> first = wordAt(path, QStringLiteral("Тестирование"));
            QVERIFY(first && first->x() >= 40.2 - 0.2 && first->x() <= 40.2 + 1.0);
        }
    }

    void previewExportsPdf() {
        CourseFolder course;
        storeRecord("Bob", {"5", "4", "0", "0", "0", "0", "0", "0", "0", "0"});
        writeUserList(course, {"Bob"});
        Running running;
        running.signInAdmin();
        const QString target = course.file(QStringLiteral("saved/report.pdf"));
        QDir().mkpath(QFileInfo(target).absolutePath());
        const QString currentBefore = QDir::currentPath();
        bool previewSeen = false, pdfActionFound = false, printActionFound = false;
        QString previewTitle;
        // The real preview: save through its "PDF…" command, then close it.
        std::function<void()> drivePreview = [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview) {
                QTimer::singleShot(20, running.main(), drivePreview);
                return;
            }
            previewSeen = true;
            previewTitle = preview->windowTitle();
            auto* bar = preview->findChild<QToolBar*>();
            for (QAction* a : bar->actions()) {
                if (a->objectName() == QStringLiteral("SavePdf")) {
                    pdfActionFound = a->text() == QStringLiteral("PDF…");
                    ui::savefile::answerNext(target);
                    a->trigger();
                }
                printActionFound = printActionFound || a->text().contains(QStringLiteral("Print"));
            }
            preview->reject();
        };
        QVERIFY(!withReportDialog(running, [&](ui::TOKRightDlg1* d) {
            QTimer::singleShot(0, running.main(), drivePreview);
            chooseAndConfirm(d, QStringLiteral("Bob"));
        }));
        QVERIFY(previewSeen);
        QVERIFY(pdfActionFound);
        QVERIFY(printActionFound);
        QVERIFY(previewTitle.contains(QStringLiteral("Отчет о пользователе")));
        QCOMPARE(ui::savefile::askedCount(), 1);
        QCOMPARE(boxCount(), 0);
        QCOMPARE(QDir::currentPath(), currentBefore);
        QVERIFY(QFileInfo::exists(target));
        const QString text = pdfLines(target).join(QLatin1Char('\n'));
        QVERIFY(text.contains(QStringLiteral("Пользователь: Bob")));
        QVERIFY(text.contains(QStringLiteral("Итого 9 баллов из 50 возможных")));
    }

    void pdfThatCannotBeWrittenIsAnError() {
        CourseFolder course;
        reports::UserReport report;
        const QString path = course.file(QStringLiteral("no/such/folder/report.pdf"));
        try {
            reports::writeReportPdf(report, path);
            QFAIL("no error");
        } catch (const Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Unable to write to ") + path);
        }
    }
};

ORTAVIA_TEST_MAIN(ReportTest)
#include "test_report.moc"
