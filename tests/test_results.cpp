// The teacher's results: the class overview window (contents, sort, filter, exports read back,
// PDF), the test statistics window, the core's single pass over the record file, and the
// command-line exports of ortavia-tests (CSV parsed back, XLSX opened as a zip and its cells read).
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLineSeries>
#include <QProcess>
#include <QProgressBar>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTableWidget>
#include <QXmlStreamReader>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "reports/class_overview_form.h"
#include "reports/class_table.h"
#include "reports/journal_stats.h"
#include "reports/statistics_form.h"
#include "reports/table_export.h"
#include "reports/table_page.h"
#include "store/error.h"
#include "store/ini.h"
#include "store/store.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

std::vector<std::string> grades(std::initializer_list<const char*> first) {
    std::vector<std::string> g(first.begin(), first.end());
    g.resize(12, "0");
    return g;
}

// A class of five: two passes, a listed name twice (other letter case), a name without a record, a
// record whose third grade is no number, and a name with the characters CSV must quote.
void seedClass(const CourseFolder& course) {
    writeUserList(course, {"Айгерім", "Борис", "айгерім", "Нет Записи", "Ерлан", "Ким \"Мастер\"; 2"});
    storeRecord("Айгерім", grades({"5", "4", "3", "2"}));
    storeRecord("Борис", grades({"1", "0", "0"}));
    storeRecord("Ерлан", grades({"5", "5", "abc"}));
    storeRecord("Ким \"Мастер\"; 2", grades({"3", "3", "3", "3", "3"}));
}

using Run = ToolRun;

// The statistics window as its command opens it for the signed-in administrator.
ui::TestStatistics* openStatistics(const Running& run) {
    run.trigger("NStat");
    return run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat"));
}

// CSV as a spreadsheet reads it: ";" between fields, quoted fields with doubled quotes, CR LF rows.
QList<QStringList> parseCsv(const QByteArray& bytes) {
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {};
    const QString text = QString::fromUtf8(bytes.mid(3));
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                field += c, ++i;
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

QByteArray unzip(const QString& zip, const QString& member) {
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, member});
    p.waitForFinished(30000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

struct XlsxCell {
    bool number = false;
    QString text;
};

// The cells of the first sheet by reference ("A1"), shared and inline strings resolved.
QMap<QString, XlsxCell> xlsxCells(const QString& path) {
    QStringList shared;
    QXmlStreamReader s(unzip(path, QStringLiteral("xl/sharedStrings.xml")));
    while (s.readNextStartElement() || !s.atEnd()) {
        if (s.isStartElement() && s.name() == QLatin1String("si"))
            shared << QString();
        else if (s.isStartElement() && s.name() == QLatin1String("t"))
            shared.last() += s.readElementText();
        if (s.hasError())
            break;
    }
    QMap<QString, XlsxCell> cells;
    QXmlStreamReader x(unzip(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString ref, type;
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement())
            continue;
        if (x.name() == QLatin1String("c")) {
            ref = x.attributes().value(QLatin1String("r")).toString();
            type = x.attributes().value(QLatin1String("t")).toString();
        } else if (x.name() == QLatin1String("v")) {
            const QString v = x.readElementText();
            cells[ref] = type == QLatin1String("s")
                             ? XlsxCell{false, shared.value(v.toInt())}
                             : XlsxCell{type.isEmpty() || type == QLatin1String("n"), v};
        } else if (x.name() == QLatin1String("t") && type == QLatin1String("inlineStr")) {
            cells[ref] = XlsxCell{false, x.readElementText()};
        }
    }
    return cells;
}

QString ref(int row, int column) { // 0-based row and column
    return QString(QChar(u'A' + column)) + QString::number(row + 1);
}

ui::ClassOverview* openOverview(const Running& run) {
    run.trigger("NSvod");
    return run.main()->findChild<ui::ClassOverview*>(QStringLiteral("FormSvod"));
}

QTableView* grid(ui::ClassOverview* w) {
    return w->findChild<QTableView*>(QStringLiteral("GridSvod"));
}

QString cell(QTableView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
}

QStringList column(QTableView* view, int c) {
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        texts << cell(view, r, c);
    return texts;
}

// Typed key by key, as a user types (letters outside ASCII included).
void typeInto(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void clickHeader(QTableView* view, int section) {
    QHeaderView* header = view->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

const QStringList kHeader{
    QStringLiteral("Студент"), QStringLiteral("Тест 1"),  QStringLiteral("Тест 2"),
    QStringLiteral("Тест 3"),  QStringLiteral("Тест 4"),  QStringLiteral("Тест 5"),
    QStringLiteral("Тест 6"),  QStringLiteral("Тест 7"),  QStringLiteral("Тест 8"),
    QStringLiteral("Тест 9"),  QStringLiteral("Тест 10"), QStringLiteral("Сдано тестов")};

} // namespace

class ResultsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        ui::dialogs::resetTestState();
        ui::savefile::resetTestState();
        ui::ClassOverview::resetPreviewer();
    }

    void overviewListsEachStudentOnceWithGradesAsStored() {
        CourseFolder course;
        seedClass(course);
        Running run;
        run.signInAdmin();
        QVERIFY(run.action("notch")->isVisible());
        QCOMPARE(run.action("NSvod")->text(), QStringLiteral("Сводная ведомость"));
        QCOMPARE(run.action("NStat")->text(), QStringLiteral("Статистика тестов"));
        ui::ClassOverview* w = openOverview(run);
        QVERIFY(w && w->isVisible());
        QTableView* view = grid(w);
        QVERIFY(view);
        QCOMPARE(view->model()->columnCount(), 12);
        QStringList header;
        for (int c = 0; c < 12; ++c)
            header << view->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(header, kHeader);
        // The list's order, the second spelling of a listed name left out.
        QCOMPARE(column(view, 0),
                 QStringList({"Айгерім", "Борис", "Нет Записи", "Ерлан", "Ким \"Мастер\"; 2"}));
        QStringList first;
        for (int c = 1; c < 12; ++c)
            first << cell(view, 0, c);
        QCOMPARE(first, QStringList({"5", "4", "3", "2", "0", "0", "0", "0", "0", "0", "3"}));
        QCOMPARE(cell(view, 1, 11), QStringLiteral("0")); // a 1 is no pass
        QCOMPARE(cell(view, 4, 11), QStringLiteral("5"));
        // No record: empty cells, never the store's default text; the faulty record as stored, marked.
        for (int c = 1; c < 12; ++c)
            QCOMPARE(cell(view, 2, c), QString());
        QCOMPARE(cell(view, 3, 3), QStringLiteral("abc"));
        QCOMPARE(cell(view, 3, 11), QStringLiteral("2"));
        for (int r = 0; r < 5; ++r)
            QCOMPARE(view->model()->index(r, 0).data(Qt::UserRole).toBool(), r == 3);
        QVERIFY(view->model()->index(3, 0).data(Qt::BackgroundRole).isValid());
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 12; ++c)
                QVERIFY(!cell(view, r, c).contains(QLatin1Char('?')) &&
                        !cell(view, r, c).contains(QLatin1Char('!')));
        QVERIFY(
            w->findChild<QLabel*>(QStringLiteral("LabelSvod"))->text().contains(QStringLiteral("с ошибкой")));

        // Opening it again brings the same window back, read anew.
        storeRecord("Борис", grades({"4", "4"}));
        QCOMPARE(openOverview(run), w);
        QCOMPARE(cell(view, 1, 11), QStringLiteral("2"));
        QCOMPARE(run.main()->findChildren<ui::ClassOverview*>().size(), 1);
    }

    void overviewSortsByAnyColumnAndFiltersByPartOfAName() {
        CourseFolder course;
        seedClass(course);
        writeUserList(course,
                      {"Айгерім", "Борис", "Нет Записи", "Ерлан", "Ким \"Мастер\"; 2", "Әлия", "ӘЛИХАН"});
        storeRecord("Әлия", grades({"4"}));
        storeRecord("ӘЛИХАН", grades({"2", "5"}));
        Running run;
        run.signInAdmin();
        ui::ClassOverview* w = openOverview(run);
        QTableView* view = grid(w);
        clickHeader(view, 0);
        QCOMPARE(column(view, 0), QStringList({"Айгерім", "ӘЛИХАН", "Әлия", "Борис", "Ерлан",
                                               "Ким \"Мастер\"; 2", "Нет Записи"}));
        // Test 2 ascending: no record first, then the values; descending reverses.
        clickHeader(view, 2);
        QCOMPARE(column(view, 2), QStringList({"", "0", "0", "3", "4", "5", "5"}));
        clickHeader(view, 2);
        QCOMPARE(column(view, 2).first(), QStringLiteral("5"));
        QCOMPARE(column(view, 2).last(), QString());
        clickHeader(view, 11);
        QCOMPARE(column(view, 11), QStringList({"", "0", "1", "1", "2", "3", "5"}));

        // Part of a name, Kazakh and Cyrillic letters in either case.
        auto* find = w->findChild<QLineEdit*>(QStringLiteral("EditFind"));
        typeInto(find, QStringLiteral("әл"));
        QCOMPARE(view->model()->rowCount(), 2);
        find->clear();
        typeInto(find, QStringLiteral("ЙГЕР"));
        QCOMPARE(column(view, 0), QStringList({"Айгерім"}));
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("LabelSvod"))
                    ->text()
                    .contains(QStringLiteral("показано: 1")));
        find->clear();
        typeInto(find, QStringLiteral("日本")); // no name can hold it
        QCOMPARE(view->model()->rowCount(), 0);
        find->clear();
        QCOMPARE(view->model()->rowCount(), 7);
    }

    void overviewExportsWhatItShowsToCsvAndXlsx() {
        CourseFolder course;
        seedClass(course);
        Running run;
        run.signInAdmin();
        ui::ClassOverview* w = openOverview(run);
        QTableView* view = grid(w);
        clickHeader(view, 11); // by tests passed
        clickHeader(view, 11); // most first

        const QString csv = course.file(QStringLiteral("out/ведомость.csv"));
        QDir().mkpath(course.file(QStringLiteral("out")));
        ui::savefile::answerNext(csv);
        w->findChild<QPushButton*>(QStringLiteral("ButtonExport"))->click();
        QCOMPARE(boxCount(), 0);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains("\"Ким \"\"Мастер\"\"; 2\";3;3;3"));
        const QList<QStringList> rows = parseCsv(bytes);
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0], kHeader);
        QCOMPARE(rows[1],
                 QStringList({"Ким \"Мастер\"; 2", "3", "3", "3", "3", "3", "0", "0", "0", "0", "0", "5"}));
        QCOMPARE(rows[2].first(), QStringLiteral("Айгерім"));
        QCOMPARE(rows[3], QStringList({"Ерлан", "5", "5", "abc", "0", "0", "0", "0", "0", "0", "0", "2"}));
        QCOMPARE(rows[5], QStringList({"Нет Записи", "", "", "", "", "", "", "", "", "", "", ""}));

        // Filtered, to XLSX: grades as numbers, names and unconverted grades as text.
        typeInto(w->findChild<QLineEdit*>(QStringLiteral("EditFind")), QStringLiteral("р"));
        const QString xlsx = course.file(QStringLiteral("out/ведомость.XLSX"));
        ui::savefile::answerNext(xlsx);
        w->findChild<QPushButton*>(QStringLiteral("ButtonExport"))->click();
        QCOMPARE(boxCount(), 0);
        const QMap<QString, XlsxCell> cells = xlsxCells(xlsx);
        QCOMPARE(cells.value(QStringLiteral("A1")).text, QStringLiteral("Студент"));
        QCOMPARE(cells.value(QStringLiteral("L1")).text, QStringLiteral("Сдано тестов"));
        QCOMPARE(cells.value(ref(1, 0)).text, QStringLiteral("Ким \"Мастер\"; 2"));
        QCOMPARE(cells.value(ref(2, 0)).text, QStringLiteral("Айгерім"));
        QVERIFY(cells.value(ref(2, 1)).number);
        QCOMPARE(cells.value(ref(2, 1)).text, QStringLiteral("5"));
        QCOMPARE(cells.value(ref(3, 0)).text, QStringLiteral("Ерлан"));
        QVERIFY(!cells.value(ref(3, 3)).number);
        QCOMPARE(cells.value(ref(3, 3)).text, QStringLiteral("abc"));
        QCOMPARE(cells.value(ref(4, 0)).text, QStringLiteral("Борис"));
        QVERIFY(!cells.contains(ref(5, 0))); // "Нет Записи" has no "р"

        // A name of no known format is refused with a message; nothing is written.
        const QString txt = course.file(QStringLiteral("out/ведомость.txt"));
        ui::savefile::answerNext(txt);
        w->findChild<QPushButton*>(QStringLiteral("ButtonExport"))->click();
        QCOMPARE(boxCount(), 1);
        QVERIFY(lastBoxText().contains(QStringLiteral(".csv или .xlsx")));
        QVERIFY(!QFile::exists(txt));
        // A file that cannot be written: a message, and the old file stays whole.
        QFile::setPermissions(course.file(QStringLiteral("out")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool enforced = !QFile(course.file(QStringLiteral("out/probe"))).open(QIODevice::WriteOnly);
        if (enforced) {
            ui::savefile::answerNext(csv);
            w->findChild<QPushButton*>(QStringLiteral("ButtonExport"))->click();
            QCOMPARE(boxCount(), 2);
            QVERIFY(lastBoxText().startsWith(QStringLiteral("Не удалось записать файл")));
            QFile again(csv);
            QVERIFY(again.open(QIODevice::ReadOnly));
            QCOMPARE(again.readAll(), bytes);
        }
        QFile::setPermissions(course.file(QStringLiteral("out")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // Cancelled: nothing happens.
        w->findChild<QPushButton*>(QStringLiteral("ButtonExport"))->click();
        QCOMPARE(boxCount(), enforced ? 2 : 1);
    }

    void overviewPrintsAndSavesPdfWithTheReportDrawing() {
        CourseFolder course;
        seedClass(course);
        Running run;
        run.signInAdmin();
        ui::ClassOverview* w = openOverview(run);
        std::optional<reports::Table> previewed;
        ui::ClassOverview::previewer = [&](const reports::Table& t, QWidget*) { previewed = t; };
        w->findChild<QPushButton*>(QStringLiteral("ButtonPrint"))->click();
        QVERIFY(previewed);
        QCOMPARE(previewed->rows.size(), std::size_t(5));
        QCOMPARE(previewed->header, kHeader);

        const QString pdf = course.file(QStringLiteral("ведомость.pdf"));
        ui::savefile::answerNext(pdf);
        w->findChild<QPushButton*>(QStringLiteral("ButtonPdf"))->click();
        QCOMPARE(boxCount(), 0);
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("Сводная ведомость")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Айгерім")));
        QVERIFY(text.contains(QStringLiteral("Страница 1 из 1")));
        QVERIFY(
            QRegularExpression(QStringLiteral("Айгерім\\s+5\\s+4\\s+3\\s+2\\s+0")).match(text).hasMatch());

        // Many students: as many pages as the rows need.
        reports::Table big = w->shownTable();
        while (big.rows.size() < std::size_t(reports::tableRowsPerPage()) * 2 + 1)
            big.rows.push_back(big.rows.front());
        const QString bigPdf = course.file(QStringLiteral("big.pdf"));
        reports::writeTablePdf(big, bigPdf);
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {bigPdf});
        QVERIFY(info.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+3"))));
    }

    void statisticsShowTheClassAndTheJournal() {
        CourseFolder course;
        seedClass(course);
        QByteArray journal;
        for (const char* line :
             {"Айгерім | 10:00:00 | 07.12.2026 | test1 | 5", "Борис | 10:05:00 | 07.12.2026 | test1 | 1",
              "Айгерім | 09:00:00 | 08.12.2026 | test2 | 4", "битая строка",
              "Ерлан | 09:30:00 | 08.12.2026 | test1 | 4", "Ерлан | 09:40:00 | 08.12.2026 | test2 | 5"})
            journal += QByteArray::fromStdString(cp(line)) + "\r\n";
        course.write(QStringLiteral("journal.txt"), journal);
        Running run;
        run.signInAdmin();
        auto* w = openStatistics(run);
        QVERIFY(w && w->isVisible());
        auto* table = w->findChild<QTableWidget*>(QStringLiteral("GridStat"));
        auto row = [table](int r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->item(r, c)->text();
            return cells;
        };
        // Test 1: grades 5, 1, 5, 3 stored -> four took it, three passed; journal 5, 1, 4.
        QCOMPARE(row(0), QStringList({"Тест 1", "4", "3", "75 %", "3", "3,33"}));
        QCOMPARE(row(1), QStringList({"Тест 2", "3", "3", "100 %", "2", "4,50"}));
        QCOMPARE(row(2), QStringList({"Тест 3", "2", "2", "100 %", "0", "—"})); // "abc" counts nowhere
        QCOMPARE(row(5), QStringList({"Тест 6", "0", "0", "—", "0", "—"}));
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("LabelStat"))
                    ->text()
                    .contains(QStringLiteral("пропущено строк не из пяти полей: 1")));

        auto* grades = w->findChild<QChartView*>(QStringLiteral("ChartGrades"));
        QCOMPARE(grades->chart()->series().size(), 1);
        auto* bars = qobject_cast<QStackedBarSeries*>(grades->chart()->series().front());
        QVERIFY(bars);
        QCOMPARE(bars->count(), 5);
        QCOMPARE(bars->barSets().at(4)->at(0), 2.0); // two fives in test 1
        QCOMPARE(bars->barSets().at(0)->at(0), 1.0); // one 1
        auto* days = w->findChild<QChartView*>(QStringLiteral("ChartDays"));
        auto* line = qobject_cast<QLineSeries*>(days->chart()->series().front());
        QVERIFY(line);
        QCOMPARE(line->count(), 2);
        QCOMPARE(line->at(0).y(), 2.0);
        QCOMPARE(line->at(1).y(), 3.0);
        QVERIFY(line->at(0).x() < line->at(1).x());
        QCOMPARE(w->statistics().journal.read, std::size_t(5));
    }

    void statisticsWithoutAJournalSayThereWereNoAttempts() {
        CourseFolder course;
        seedClass(course);
        Running run;
        run.signInAdmin();
        run.trigger("NStat");
        auto* w = run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat"));
        QVERIFY(w);
        QCOMPARE(boxCount(), 0);
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("LabelStat"))
                    ->text()
                    .contains(QStringLiteral("Журнала тестов пока нет")));
        // A folder in the journal's place is named, and no window is left behind.
        w->close();
        QTRY_VERIFY(!run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat")));
        QDir().mkpath(course.file(QStringLiteral("journal.txt")));
        run.trigger("NStat");
        QCOMPARE(boxCount(), 1);
        QVERIFY(!run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat")));
    }

    void storedOneOfTest1CountsOnlyWithAJournalLine() {
        // Registration stores "1" for test 1: only a journal line of the student shows it was taken.
        reports::ClassTable table;
        for (const char* name : {"Аня", "Боря", "Вика"}) {
            reports::StudentRow row;
            row.name = cp(name);
            row.recorded = true;
            row.grades.fill("0");
            row.grades[0] = "1";
            table.rows.push_back(row);
        }
        table.rows[2].grades[0] = "4";
        struct Case {
            const char* journal;
            int took, ones;
        } cases[] = {
            {"", 1, 0},
            {"Боря | 10:00:00 | 07.12.2026 | test1 | 1\r\n", 2, 1},
            {"Боря | 10:00:00 | 07.12.2026 | test2 | 1\r\nборя | 1 | 07.12.2026 | test1 | 1\r\n", 1, 0},
            {"Аня | 1 | 07.12.2026 | test1 | 1\r\nАня | 2 | 07.12.2026 | test1 | 1\r\n"
             "Боря | 3 | 07.12.2026 | test1 | 2\r\n",
             3, 2},
        };
        for (const Case& c : cases) {
            reports::Statistics s;
            reports::addClassStatistics(s, table);
            reports::addJournalStatistics(s, cp(c.journal));
            QCOMPARE(s.tests[0].took(), c.took);
            QCOMPARE(s.tests[0].byGrade[1], c.ones);
            QCOMPARE(s.tests[0].byGrade[0], 3 - c.took);
        }
    }

    void bigJournalIsReadInPiecesWhileTheWindowResponds() {
        // The pieces of a stream split lines anywhere, a CR LF included, and give the same lines.
        const std::string text = "a | b\r\nc\rd\n\ne\r\n" + std::string(40, 'x') + "\nlast";
        std::vector<std::string> whole;
        reports::forEachLine(text, [&whole](std::string_view l) { whole.emplace_back(l); });
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            reports::PieceLines pieces(30);
            std::vector<std::string> got;
            const auto take = [&got](std::string_view l) { got.emplace_back(l); };
            pieces.feed(std::string_view(text).substr(0, cut), take);
            pieces.feed(std::string_view(text).substr(cut), take);
            pieces.finish(take);
            std::vector<std::string> expected = whole;
            std::erase(expected, std::string(40, 'x')); // longer than 30: counted, not kept
            QCOMPARE(got, expected);
            QCOMPARE(pieces.tooLong(), std::size_t(1));
        }

        CourseFolder course;
        seedClass(course);
        QByteArray journal;
        const QByteArray line =
            QByteArray::fromStdString(cp("Борис | 10:05:00 | 07.12.2026 | test2 | 4\r\n"));
        while (journal.size() <= qsizetype(ui::TestStatistics::kReadAtOnce))
            journal += line;
        course.write(QStringLiteral("journal.txt"), journal);
        Running run;
        run.signInAdmin();
        auto* w = openStatistics(run);
        QVERIFY(w && w->isVisible());
        auto* progress = w->findChild<QProgressBar*>(QStringLiteral("ProgressStat"));
        QVERIFY(progress && progress->isVisible());
        QTRY_VERIFY(!progress->isVisible());
        QCOMPARE(w->statistics().journal.read, std::size_t(journal.size() / line.size()));
        QCOMPARE(w->statistics().tests[1].attempts, (long long)(journal.size() / line.size()));
        QCOMPARE(boxCount(), 0);
        // Closing the window stops a reading under way.
        w = openStatistics(run);
        QVERIFY(w->loading());
        w->close();
        QTRY_VERIFY(!run.main()->findChild<ui::TestStatistics*>(QStringLiteral("FormStat")));
    }

    void theRecordFileIsReadOnceAsTheIniLayerReadsIt() {
        // Sections in other letter case, a repeated section and key, CR-only and LF-only line ends,
        // blanks around names, comments, a value holding "=": every cell equals the store's read.
        std::string content;
        auto put = [&](const std::string& line, const char* end = "\r\n") { content += line + end; };
        auto enc = [](const char* plain) { return store::crypt(cp(plain)); };
        put("; comment");
        put(cp("[ АЙГЕРІМ ]"), "\n");
        put("password=" + enc("x"));
        put("  test1 = " + enc("5"), "\r");
        put("TEST2=" + enc("4=4"));
        put("test2=" + enc("1"));
        put(cp("[Борис]"));
        put("test1=" + enc("3"));
        put(cp("[айгерім]"));
        put("test3=" + enc("5"));
        put(cp("[Борис]"));
        put("password=" + enc("y"));
        put(cp("[Ерлан]"));
        put("password=" + enc("z"));
        for (int k = 1; k <= 10; ++k)
            put("test" + std::to_string(k) + "=" + enc(k == 7 ? "-1" : "2"));
        const std::vector<std::string> list{cp("Айгерім"), cp("Борис"), cp("Ерлан"), "", cp("АйГерім")};
        const reports::ClassTable t = reports::classTableFrom(list, content);
        QCOMPARE(t.rows.size(), std::size_t(3));
        QVERIFY(t.rows[0].recorded);
        QVERIFY(!t.rows[1].recorded); // only the first [Борис] counts, and it has no password
        QVERIFY(t.rows[2].recorded);
        for (const reports::StudentRow& r : t.rows) {
            if (!r.recorded)
                continue;
            for (int k = 1; k <= 10; ++k) {
                const std::string stored = ini::readFrom(content, r.name, "test" + std::to_string(k), "\n");
                const std::string expected = stored == "\n" ? std::string() : store::crypt(stored);
                QCOMPARE(r.grades[static_cast<std::size_t>(k - 1)], expected);
            }
        }
        QCOMPARE(t.rows[0].grades[1], cp("4=4"));
        QVERIFY(t.rows[0].faulty);
        QCOMPARE(t.rows[2].values[6], std::optional<int>(255));
        QVERIFY(t.rows[2].faulty); // -1 is no grade from 0 to 5
        QCOMPARE(t.rows[2].passed, 1);
    }

    void commandLineGradesToCsvAndXlsx() {
        CourseFolder course;
        seedClass(course);
        const QString csv = course.file(QStringLiteral("grades.csv"));
        Run r = runTool({QStringLiteral("grades"), course.path(), csv});
        QCOMPARE(r.status, 1); // the faulty record is named
        QVERIFY(r.err.contains(QStringLiteral("Ерлан")));
        QVERIFY(r.err.contains(QStringLiteral("Нет Записи")));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QStringList> rows = parseCsv(file.readAll());
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0], kHeader);
        QCOMPARE(rows[1], QStringList({"Айгерім", "5", "4", "3", "2", "0", "0", "0", "0", "0", "0", "3"}));
        QCOMPARE(rows[5].first(), QStringLiteral("Ким \"Мастер\"; 2"));

        // Without the faulty record: exit 0; to XLSX, from another current directory.
        storeRecord("Ерлан", grades({"5", "5", "2"}));
        const QString xlsx = course.file(QStringLiteral("grades.xlsx"));
        r = runTool({QStringLiteral("grades"), course.path(), xlsx});
        QCOMPARE(r.status, 0);
        const QMap<QString, XlsxCell> cells = xlsxCells(xlsx);
        QCOMPARE(cells.value(ref(4, 0)).text, QStringLiteral("Ерлан"));
        QCOMPARE(cells.value(ref(4, 3)).text, QStringLiteral("2"));
        QVERIFY(cells.value(ref(4, 3)).number);
        QVERIFY(cells.value(ref(4, 11)).number);
        QCOMPARE(cells.value(ref(4, 11)).text, QStringLiteral("2"));
        QVERIFY(!cells.contains(ref(3, 1))); // no record: empty
        QVERIFY(!cells.contains(ref(6, 0)));

        // Wrong calls and a missing course folder.
        QCOMPARE(runTool({QStringLiteral("grades"), course.path()}).status, 2);
        r = runTool({QStringLiteral("grades"), course.path(), course.file(QStringLiteral("g.ods"))});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(QStringLiteral(".csv или .xlsx")));
        r = runTool({QStringLiteral("grades"), course.file(QStringLiteral("nowhere")), csv});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("нет папки курса")));
        QVERIFY(runTool({QStringLiteral("--help")}).out.contains(QStringLiteral("ortavia-tests grades")));
    }

    void commandLineJournalCountsWhatItSkips() {
        CourseFolder course;
        QByteArray journal;
        for (const char* line :
             {"Айгерім | 10:00:00 | 07.12.2026 | test1 | 5", "Борис | 10:05:00 | 07.12.2026 | test1 | 1"})
            journal += QByteArray::fromStdString(cp(line)) + "\r\n";
        course.write(QStringLiteral("journal.txt"), journal);
        const QString csv = course.file(QStringLiteral("j.csv"));
        Run r = runTool({QStringLiteral("journal"), course.path(), csv});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("строк 2")));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QStringList> rows = parseCsv(file.readAll());
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], QStringList({"Имя", "Время", "Дата", "Тест", "Оценка"}));
        QCOMPARE(rows[1], QStringList({"Айгерім", "10:00:00", "07.12.2026", "test1", "5"}));

        // Lines of four or six fields, a blank line and a line ended by LF alone.
        journal += QByteArray::fromStdString(cp("Ерлан | 11:00:00 | 08.12.2026 | test2")) + "\r\n\r\n";
        journal += "a | b | c | d | e | f\r\n";
        journal += QByteArray::fromStdString(cp("Ерлан | 11:10:00 | 08.12.2026 | test2 | 4")) + "\n";
        course.write(QStringLiteral("journal.txt"), journal);
        const QString xlsx = course.file(QStringLiteral("j.xlsx"));
        r = runTool({QStringLiteral("journal"), course.path(), xlsx});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("пропущено строк")) && r.err.contains(QStringLiteral(": 3")),
                 qPrintable(r.err));
        const QMap<QString, XlsxCell> cells = xlsxCells(xlsx);
        QCOMPARE(cells.value(QStringLiteral("E1")).text, QStringLiteral("Оценка"));
        QCOMPARE(cells.value(QStringLiteral("A4")).text, QStringLiteral("Ерлан"));
        QCOMPARE(cells.value(QStringLiteral("D4")).text, QStringLiteral("test2"));
        QVERIFY(cells.value(QStringLiteral("E4")).number);
        QCOMPARE(cells.value(QStringLiteral("E4")).text, QStringLiteral("4"));
        QVERIFY(!cells.contains(QStringLiteral("A5")));

        // No journal yet: a message, exit 1, nothing written.
        QFile::remove(course.file(QStringLiteral("journal.txt")));
        const QString none = course.file(QStringLiteral("none.csv"));
        r = runTool({QStringLiteral("journal"), course.path(), none});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("журнала тестов")));
        QVERIFY(!QFile::exists(none));
        QCOMPARE(runTool({QStringLiteral("journal")}).status, 2);
    }

    // Nothing of an export goes through a link (a student may plant one in a shared folder) or onto
    // a file of the course; the file in the way stays as it was.
    void exportsNeverGoThroughLinksNorOntoCourseFiles() {
        CourseFolder course;
        seedClass(course);
        course.write(QStringLiteral("data/info/tumb.db"), "admin|admin|journal.csv\r\n");
        const QByteArray journal =
            QByteArray::fromStdString(cp("Айгерім | 10:00:00 | 07.12.2026 | test1 | 5\r\n"));
        course.write(QStringLiteral("journal.csv"), journal);
        QTemporaryDir outside;
        const QString victim = outside.filePath(QStringLiteral("victim"));
        const QString log = outside.filePath(QStringLiteral("log.xlsx"));
        QFile v(victim), l(log);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("victim") == 6 && l.open(QIODevice::WriteOnly));
        v.close();
        QVERIFY(QFile::link(log, course.file(QStringLiteral("answers.log"))));
        for (const char* name : {"link.csv", "link.xlsx"})
            QVERIFY(QFile::link(victim, course.file(QLatin1String(name))));
        for (const char* name : {"dangling.csv", "dangling.xlsx"})
            QVERIFY(QFile::link(outside.filePath(QStringLiteral("made")), course.file(QLatin1String(name))));
        const QList<QPair<QString, QString>> cases = {
            {course.file(QStringLiteral("link.csv")), QStringLiteral("символическая ссылка")},
            {course.file(QStringLiteral("link.xlsx")), QStringLiteral("символическая ссылка")},
            {course.file(QStringLiteral("dangling.csv")), QStringLiteral("символическая ссылка")},
            {course.file(QStringLiteral("dangling.xlsx")), QStringLiteral("символическая ссылка")},
            {course.file(QStringLiteral("journal.csv")), QStringLiteral("журнал тестов")},
            {course.file(QStringLiteral("JOURNAL.CSV")), QStringLiteral("журнал тестов")},
            {log, QStringLiteral("журнал ответов")},
        };
        for (const auto& [out, why] : cases) {
            const Run r = runTool({QStringLiteral("journal"), course.path(), out});
            QVERIFY2(r.status == 1 && r.err.contains(out) && r.err.contains(why), qPrintable(out + r.err));
        }
        QCOMPARE(course.read(QStringLiteral("journal.csv")), journal);
        QVERIFY(!course.exists(QStringLiteral("JOURNAL.CSV")));
        QCOMPARE(QFileInfo(log).size(), 0);
        QVERIFY(!QFile::exists(outside.filePath(QStringLiteral("made"))));

        Running run;
        run.signInAdmin();
        ui::savefile::answerNext(course.file(QStringLiteral("link.csv")));
        openOverview(run)->findChild<QPushButton*>(QStringLiteral("ButtonExport"))->click();
        QVERIFY2(lastBoxText().contains(QStringLiteral("символическая ссылка")), qPrintable(lastBoxText()));
        QFile again(victim);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), QByteArray("victim"));
    }

    // A text a spreadsheet would take for a formula is shown as text; numbers stay numbers.
    void csvShowsFormulasAsText() {
        const QList<QPair<reports::Cell, QByteArray>> cases = {
            {{QStringLiteral("=HYPERLINK(\"http://x\")"), {}}, "\"'=HYPERLINK(\"\"http://x\"\")\""},
            {{QStringLiteral("+7 701"), {}}, "'+7 701"},
            {{QStringLiteral("-Ерлан"), {}}, "'-Ерлан"},
            {{QStringLiteral("@SUM(A1)"), {}}, "'@SUM(A1)"},
            {{QStringLiteral("\tx"), {}}, "'\tx"},
            {{QStringLiteral("\rx"), {}}, "\"'\rx\""},
            {{QStringLiteral("a=b-c"), {}}, "a=b-c"},
            {{QStringLiteral("-0.250"), -0.25}, "-0,250"},
            {{QStringLiteral("5"), 5.0}, "5"},
        };
        reports::Table table;
        table.header << QStringLiteral("=h");
        for (const auto& c : cases)
            table.rows.push_back({c.first});
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(reports::writeCsv(table, buffer));
        QByteArray expected = "\xEF\xBB\xBF'=h\r\n";
        for (const auto& c : cases)
            expected += c.second + "\r\n";
        QCOMPARE(buffer.data(), expected);
    }

    // A table past a sheet's limits is refused before anything is written; one at the limits is not.
    void xlsxPastTheSheetLimitsIsRefusedBeforeWriting() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.xlsx"));
        reports::Table rows, cell, fits;
        rows.rows.resize(1048576); // and the header
        cell.rows.push_back({{QString(32768, QLatin1Char('a')), {}}});
        fits.rows.resize(1048575);
        fits.rows.back() = {{QString(32767, QChar(u'ж')), {}}};
        for (const auto& [table, limit] : {std::pair{&rows, "1 048 576"}, std::pair{&cell, "32 767"}}) {
            try {
                reports::exportTable(*table, path);
                QFAIL("not refused");
            } catch (const Error& e) {
                const QString what = QString::fromUtf8(e.what());
                QVERIFY2(what.contains(path) && what.contains(QLatin1String(limit)) &&
                             what.contains(QLatin1String("CSV")),
                         e.what());
            }
            QCOMPARE(
                QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 0);
        }
        reports::exportTable(fits, path);
        QVERIFY(xlsxCells(path).value(QStringLiteral("A1048576")).text.size() == 32767);
    }

    // New exports follow the umask, a replaced one keeps its mode; a failing write says why in
    // Russian and leaves the old file; an output name that is no UTF-8 is used as it came.
    void exportFilesModesAndFailures() {
        CourseFolder course;
        seedClass(course);
        const reports::Table table = reports::classTableExport(reports::readClassTable());
        for (const char* name : {"m.csv", "m.xlsx"}) {
            const QString path = course.file(QLatin1String(name));
            const mode_t oldMask = umask(027);
            reports::exportTable(table, path);
            umask(oldMask);
            QCOMPARE(QFileInfo(path).permissions() & 0x0777, QFileDevice::Permissions(0x0640));
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x6664)));
            reports::exportTable(table, path);
            QCOMPARE(QFileInfo(path).permissions() & 0x0777, QFileDevice::Permissions(0x0664));

            // A file size limit makes every write fail part way.
            const QByteArray before = course.read(QLatin1String(name));
            reports::Table large = table;
            for (int i = 0; i < 20000; ++i) // text that compresses badly
                large.rows.push_back({{QString::number(std::hash<int>()(i) * 2654435761u, 36), {}}});
            struct rlimit saved;
            getrlimit(RLIMIT_FSIZE, &saved);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit small = saved;
            small.rlim_cur = 8192;
            setrlimit(RLIMIT_FSIZE, &small);
            QString what;
            try {
                reports::exportTable(large, path);
            } catch (const Error& e) {
                what = QString::fromUtf8(e.what());
            }
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
            QVERIFY2(what.contains(path) && what.contains(QStringLiteral("не записан")) == (name[2] == 'x') &&
                         !what.contains(QStringLiteral("canceled")) && !what.contains(QStringLiteral("Zip")),
                     qPrintable(QLatin1String(name) + what));
            QCOMPARE(course.read(QLatin1String(name)), before);
        }

        const QByteArray raw = QFile::encodeName(course.path()) + "/\xff\xfe.csv";
        const pid_t pid = fork();
        if (pid == 0) {
            const QByteArray tool = QFile::encodeName(kTool), folder = QFile::encodeName(course.path());
            execl(tool.constData(), tool.constData(), "grades", folder.constData(), raw.constData(), nullptr);
            _exit(127);
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        struct stat st;
        QCOMPARE(::stat(raw.constData(), &st), 0);
    }
};

ORTAVIA_TEST_MAIN(ResultsTest)
#include "test_results.moc"
