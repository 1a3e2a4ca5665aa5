#include "reports/statistics_form.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "course/course.h"
#include "store/codepage.h"
#include "store/error.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

const QColor kGradeColours[] = {QColor(0xC6, 0x28, 0x28), QColor(0xEF, 0x6C, 0x00), QColor(0xF9, 0xA8, 0x25),
                                QColor(0x7C, 0xB3, 0x42), QColor(0x2E, 0x7D, 0x32)};

QString percent(std::optional<double> share) {
    return share ? QLocale(QLocale::Russian).toString(*share * 100, 'f', 0) + QStringLiteral(" %")
                 : QStringLiteral("—");
}

QString mean(std::optional<double> value) {
    return value ? QLocale(QLocale::Russian).toString(*value, 'f', 2) : QStringLiteral("—");
}

// A page of the tabs that scrolls where the screen is too small for it.
QScrollArea* scrolling(QWidget* page) {
    auto* area = new QScrollArea;
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

QChartView* makeChartView(QWidget* parent, const char* name) {
    auto* view = new QChartView(new QChart, parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    return view;
}

} // namespace

struct TestStatistics::Loaded {
    reports::Statistics statistics;
    reports::ItemAnalysis items;
};

TestStatistics::TestStatistics(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormStat"));
    setWindowTitle(QStringLiteral("Статистика тестов"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    LabelStat = new QLabel(this);
    LabelStat->setObjectName(QStringLiteral("LabelStat"));
    LabelStat->setWordWrap(true);
    LabelStat->setTextFormat(Qt::PlainText); // a reading error names the journal's file

    GridStat = makeTable(this, "GridStat", QStringLiteral("Статистика по тестам"),
                         {QStringLiteral("Тест"), QStringLiteral("Сдавали"), QStringLiteral("Сдали"),
                          QStringLiteral("Доля сдавших"), QStringLiteral("Попыток\n(журнал)"),
                          QStringLiteral("Средняя оценка\n(журнал)")},
                         reports::kOverviewTests);
    GridStat->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridStat->verticalHeader()->setDefaultSectionSize(24);
    GridStat->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    GridStat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    ChartGrades = makeChartView(this, "ChartGrades");
    ChartDays = makeChartView(this, "ChartDays");

    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("ButtonClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    TabsStat = new QTabWidget(this);
    TabsStat->setObjectName(QStringLiteral("TabsStat"));
    auto* gradesPage = new QWidget;
    auto* upper = new QHBoxLayout;
    upper->addWidget(GridStat, 0, Qt::AlignTop);
    upper->addWidget(ChartGrades, 1);
    auto* gradesLayout = new QVBoxLayout(gradesPage);
    gradesLayout->addWidget(LabelStat);
    gradesLayout->addLayout(upper, 1);
    gradesLayout->addWidget(ChartDays, 1);
    TabsStat->addTab(scrolling(gradesPage), QStringLiteral("Оценки и попытки"));

    auto* itemsPage = new QWidget;
    ComboItems = new QComboBox(itemsPage);
    ComboItems->setObjectName(QStringLiteral("ComboItems"));
    ComboItems->setAccessibleName(QStringLiteral("Тест для анализа вопросов"));
    LabelItems = new QLabel(itemsPage);
    LabelItems->setObjectName(QStringLiteral("LabelItems"));
    LabelItems->setWordWrap(true);
    GridItems = makeTable(itemsPage, "GridItems", QStringLiteral("Анализ вопросов теста"),
                          {QStringLiteral("Вопрос"), QStringLiteral("Ответов"),
                           QStringLiteral("Доля\nверных"), QStringLiteral("Дискри-\nминация"),
                           QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                           QStringLiteral("E"), QStringLiteral("Пересмотреть")});
    GridItems->horizontalHeader()->setStretchLastSection(true);
    connect(ComboItems, &QComboBox::currentIndexChanged, this, [this] { fillItems(); });
    auto* chooser = new QHBoxLayout;
    auto* testLabel = new QLabel(QStringLiteral("Тест:"), itemsPage);
    testLabel->setBuddy(ComboItems);
    chooser->addWidget(testLabel);
    chooser->addWidget(ComboItems);
    chooser->addStretch(1);
    auto* itemsLayout = new QVBoxLayout(itemsPage);
    itemsLayout->addLayout(chooser);
    itemsLayout->addWidget(LabelItems);
    itemsLayout->addWidget(GridItems, 1);
    TabsStat->addTab(scrolling(itemsPage), QStringLiteral("Анализ вопросов"));

    ProgressStat = new QProgressBar(this);
    ProgressStat->setObjectName(QStringLiteral("ProgressStat"));
    ProgressStat->setAccessibleName(QStringLiteral("Чтение журнала тестов"));
    ProgressStat->setRange(0, 100);
    ProgressStat->setFormat(QStringLiteral("Чтение журнала: %p %"));
    ProgressStat->hide();

    auto* foot = new QHBoxLayout;
    foot->addWidget(ProgressStat, 1);
    foot->addStretch(1);
    foot->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabsStat, 1);
    layout->addLayout(foot);
    resize(1180, 700);
}

TestStatistics* TestStatistics::open(QWidget* mainWindow, const std::string& journalName) {
    return openOwnWindow<TestStatistics>(mainWindow, QStringLiteral("FormStat"),
                                         [&journalName](TestStatistics& w) { w.reload(journalName); });
}

TestStatistics::~TestStatistics() {
    stopLoading();
}

void TestStatistics::closeEvent(QCloseEvent* event) {
    stopLoading();
    QDialog::closeEvent(event);
}

void TestStatistics::stopLoading() {
    ++generation_;
    if (stop_)
        *stop_ = true;
    if (worker_.joinable())
        worker_.join();
    stop_.reset();
    ProgressStat->hide();
}

void TestStatistics::reload(const std::string& journalName) {
    stopLoading();
    const auto* main = qobject_cast<const TForm1*>(parentWidget());
    if (!main)
        return;
    course::Course& course = main->course();
    if (course.localReadSize() <= kReadAtOnce) {
        reports::Statistics s = course.statistics();
        showLoaded(Loaded{std::move(s), course.itemAnalysis()});
        return;
    }
    // A big journal: read by a worker, the window meanwhile responsive and showing the progress.
    LabelStat->setText(QStringLiteral("Чтение журнала тестов и журнала ответов…"));
    ProgressStat->setValue(0);
    ProgressStat->show();
    const int generation = generation_;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    worker_ = std::thread([this, generation, journalName, stop = stop_, &course] {
        const auto post = [this, generation](auto&& toDo) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, toDo] {
                    if (generation == generation_)
                        toDo();
                },
                Qt::QueuedConnection);
        };
        try {
            int shown = 0;
            reports::Statistics statistics = course.statistics([&](std::uint64_t done, std::uint64_t total) {
                const int percent = total ? static_cast<int>(done * 100 / total) : 100;
                if (percent != shown) {
                    shown = percent;
                    post([this, percent] { ProgressStat->setValue(percent); });
                }
                return !*stop;
            });
            if (*stop)
                return;
            auto loaded = std::make_shared<Loaded>(Loaded{std::move(statistics), course.itemAnalysis()});
            post([this, loaded] {
                worker_.join();
                showLoaded(std::move(*loaded));
            });
        } catch (const std::exception& e) {
            const QString text =
                dynamic_cast<const Error*>(&e)
                    ? QString::fromStdString(e.what())
                    : QStringLiteral("Статистика не построена: не хватило памяти при чтении журнала тестов "
                                     "«%1» или журнала ответов answers.log.")
                          .arg(QString::fromStdString(cp::toUtf8(journalName)));
            post([this, text] {
                worker_.join();
                ProgressStat->hide();
                LabelStat->setText(text);
                dialogs::error(this, text);
            });
        }
    });
}

void TestStatistics::showLoaded(Loaded loaded) {
    ProgressStat->hide();
    stop_.reset();
    statistics_ = std::move(loaded.statistics);
    items_ = std::move(loaded.items);

    QString text = QStringLiteral("Студентов с записью: %1. ").arg(statistics_.students);
    if (!statistics_.journalFound)
        text += QStringLiteral("Журнала тестов пока нет: попыток не было.");
    else {
        text += QStringLiteral("Журнал: записей %1").arg(statistics_.journal.read);
        if (statistics_.journal.skipped)
            text += QStringLiteral(", пропущено строк не из пяти полей: %1").arg(statistics_.journal.skipped);
        text += QLatin1Char('.');
    }
    LabelStat->setText(text);
    fillTable();
    fillGradesChart();
    fillDaysChart();

    const QString chosen = ComboItems->currentText();
    {
        const QSignalBlocker quiet(ComboItems);
        ComboItems->clear();
        for (const reports::TestItems& t : items_.tests)
            ComboItems->addItem(QString::fromStdString(cp::toUtf8(t.test)));
        ComboItems->setCurrentIndex(std::max(0, ComboItems->findText(chosen)));
    }
    fillItems();
}

void TestStatistics::fillItems() {
    GridItems->setRowCount(0);
    const int index = ComboItems->currentIndex();
    if (index < 0 || index >= static_cast<int>(items_.tests.size())) {
        LabelItems->setText(
            QStringLiteral("Журнала ответов answers.log пока нет или в нём нет ни одного ответа."));
        return;
    }
    const reports::TestItems& test = items_.tests[static_cast<std::size_t>(index)];
    LabelItems->setText(QStringLiteral("Попыток: %1. Вопросы по возрастанию доли верных ответов; отмечены "
                                       "вопросы, на которые верно отвечают больше 90 % или меньше 20 %, и "
                                       "вопросы с отрицательной дискриминацией.")
                            .arg(test.runs));
    const QLocale russian(QLocale::Russian);
    const QColor flagged(0xFF, 0xE0, 0xB2);
    for (const reports::ItemFigures* item : reports::byShareRight(test)) {
        const int row = GridItems->rowCount();
        GridItems->insertRow(row);
        QStringList why;
        if (item->tooEasy())
            why << QStringLiteral("больше 90 % верных");
        if (item->tooHard())
            why << QStringLiteral("меньше 20 % верных");
        if (item->discrimination && *item->discrimination < 0)
            why << QStringLiteral("отрицательная дискриминация");
        QStringList cells{
            QString::number(item->question), QString::number(item->answers), percent(item->shareRight()),
            item->discrimination ? russian.toString(*item->discrimination, 'f', 2) : QStringLiteral("—")};
        for (const long long c : item->chosen)
            cells << QString::number(c);
        cells << why.join(QStringLiteral(", "));
        for (int c = 0; c < cells.size(); ++c) {
            auto* cell = new QTableWidgetItem(cells[c]);
            cell->setTextAlignment(c == cells.size() - 1 ? Qt::AlignLeft | Qt::AlignVCenter
                                                         : Qt::AlignCenter);
            if (!why.isEmpty())
                cell->setBackground(flagged);
            GridItems->setItem(row, c, cell);
        }
    }
}

void TestStatistics::fillTable() {
    for (int k = 0; k < reports::kOverviewTests; ++k) {
        const reports::TestStatistics& t = statistics_.tests[static_cast<std::size_t>(k)];
        const QStringList cells{QStringLiteral("Тест %1").arg(k + 1), QString::number(t.took()),
                                QString::number(t.passed()),          percent(t.passRate()),
                                QString::number(t.attempts),          mean(t.meanGrade())};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
            GridStat->setItem(k, c, item);
        }
    }
    // The whole table in view, without scroll bars.
    GridStat->resizeColumnsToContents();
    const int frame = 2 * GridStat->frameWidth();
    GridStat->setFixedSize(GridStat->horizontalHeader()->length() + frame,
                           GridStat->horizontalHeader()->sizeHint().height() +
                               GridStat->verticalHeader()->length() + frame);
    GridStat->setCurrentCell(-1, -1);
}

void TestStatistics::fillGradesChart() {
    QChart* chart = ChartGrades->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    chart->setTitle(QStringLiteral("Оценки класса по тестам (число студентов)"));
    auto* series = new QStackedBarSeries;
    int highest = 0;
    for (int g = 1; g <= 5; ++g) {
        auto* set = new QBarSet(QStringLiteral("Оценка %1").arg(g));
        set->setColor(kGradeColours[g - 1]);
        for (const reports::TestStatistics& t : statistics_.tests)
            *set << t.byGrade[static_cast<std::size_t>(g)];
        series->append(set);
    }
    for (const reports::TestStatistics& t : statistics_.tests)
        highest = std::max(highest, t.took());
    chart->addSeries(series);
    auto* tests = new QBarCategoryAxis;
    for (int k = 1; k <= reports::kOverviewTests; ++k)
        tests->append(QString::number(k));
    tests->setTitleText(QStringLiteral("Тест"));
    chart->addAxis(tests, Qt::AlignBottom);
    series->attachAxis(tests);
    auto* count = new QValueAxis;
    setCountAxis(count, highest);
    chart->addAxis(count, Qt::AlignLeft);
    series->attachAxis(count);
    chart->legend()->setAlignment(Qt::AlignRight);
}

void TestStatistics::setCountAxis(QValueAxis* axis, long long highest) {
    // Some room above the highest bar, in whole steps of 1, 2 or 5 times a power of ten, at most
    // eight of them: every tick a different whole number.
    const long long room = std::max<long long>(1, highest + (highest + 9) / 10);
    long long step = 1;
    for (long long scale = 1; (room + step - 1) / step > 8; scale *= 10)
        for (const long long m : {1, 2, 5})
            if (step = m * scale; (room + step - 1) / step <= 8)
                break;
    axis->setRange(0, double((room + step - 1) / step * step));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(double(step));
    axis->setMinorTickCount(0);
    axis->setLabelFormat(QStringLiteral("%d"));
}

void TestStatistics::fillDaysChart() {
    QChart* chart = ChartDays->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    chart->setTitle(QStringLiteral("Попыток тестов по дням (журнал)"));
    chart->legend()->hide();
    auto* line = new QLineSeries;
    auto* points = new QScatterSeries;
    points->setMarkerSize(7);
    long long highest = 0;
    QDate first, last;
    for (const reports::DayAttempts& d : statistics_.days) {
        if (!d.date.isValid())
            continue;
        const qreal x = QDateTime(d.date, QTime(12, 0)).toMSecsSinceEpoch();
        line->append(x, double(d.attempts));
        points->append(x, double(d.attempts));
        highest = std::max(highest, d.attempts);
        if (!first.isValid())
            first = d.date;
        last = d.date;
    }
    chart->addSeries(line);
    chart->addSeries(points);
    points->setColor(line->color());
    auto* days = new QDateTimeAxis;
    days->setFormat(QStringLiteral("dd.MM.yyyy"));
    if (!first.isValid())
        first = last = QDate::currentDate();
    days->setRange(QDateTime(first.addDays(-1), QTime(0, 0)), QDateTime(last.addDays(1), QTime(0, 0)));
    days->setTickCount(static_cast<int>(std::min<qint64>(8, std::max<qint64>(2, first.daysTo(last) + 3))));
    chart->addAxis(days, Qt::AlignBottom);
    line->attachAxis(days);
    points->attachAxis(days);
    auto* count = new QValueAxis;
    setCountAxis(count, highest);
    chart->addAxis(count, Qt::AlignLeft);
    line->attachAxis(count);
    points->attachAxis(count);
}

void TForm1::NStatClick() {
    if (!administratorSignedIn())
        return;
    TestStatistics::open(this, journalName());
}

} // namespace ortavia::ui
