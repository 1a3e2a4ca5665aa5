#include "reports/class_monitor_form.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "store/error.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

// The name takes the room; the other columns are as wide as what they show.
QTableWidget* makeGrid(QWidget* parent, const char* name, const QString& accessible,
                       const QStringList& header, int nameColumn) {
    QTableWidget* grid = makeTable(parent, name, accessible, header);
    grid->horizontalHeader()->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    return grid;
}

// One row of plain texts (names and addresses come from the server: never markup).
void fillRow(QTableWidget* grid, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        grid->setItem(row, c, item);
    }
}

QString gradeText(int grade) {
    return grade > 0 ? QString::number(grade) : QStringLiteral("без оценки");
}

} // namespace

ClassMonitor::ClassMonitor(QWidget* mainWindow)
    : QDialog(mainWindow), course_(qobject_cast<TForm1*>(mainWindow)->course()) {
    setObjectName(QStringLiteral("ClassMonitor"));
    setWindowTitle(QStringLiteral("Монитор класса"));
    GridMon = makeGrid(this, "GridMon", QStringLiteral("Кто сейчас в программе"),
                       {QStringLiteral("Пользователь"), QStringLiteral("Компьютер"), QStringLiteral("Тест"),
                        QStringLiteral("Ход теста"), QStringLiteral("Последняя оценка")},
                       0);
    GridMonEnded = makeGrid(this, "GridMonEnded", QStringLiteral("Завершённые тесты"),
                            {QStringLiteral("Время"), QStringLiteral("Пользователь"), QStringLiteral("Тест"),
                             QStringLiteral("Оценка")},
                            1);
    auto* now = new QLabel(QStringLiteral("Сейчас в программе:"), this);
    now->setBuddy(GridMon);
    auto* ended = new QLabel(QStringLiteral("Завершённые тесты (последние сверху):"), this);
    ended->setBuddy(GridMonEnded);
    LabelMon = new QLabel(this);
    LabelMon->setObjectName(QStringLiteral("LabelMon"));
    LabelMon->setTextFormat(Qt::PlainText);
    LabelMon->setWordWrap(true);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("ButtonMonClose"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelMon, 1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(now);
    layout->addWidget(GridMon, 3);
    layout->addWidget(ended);
    layout->addWidget(GridMonEnded, 2);
    layout->addLayout(bottom);
    resize(860, 600);

    connect(&refresh_, &QTimer::timeout, this, &ClassMonitor::reload);
    refresh_.start(kRefreshMs);
}

ClassMonitor* ClassMonitor::open(QWidget* mainWindow) {
    return openOwnWindow<ClassMonitor>(mainWindow, QStringLiteral("ClassMonitor"),
                                       [](ClassMonitor& w) { w.reload(); });
}

void ClassMonitor::reload() {
    // A refresh that comes while the last one still waits for the server is skipped.
    if (reading_)
        return;
    reading_ = true;
    try {
        const std::optional<course::Monitor> m = course_.monitor();
        reading_ = false;
        if (m)
            fill(*m);
    } catch (const Error& e) {
        reading_ = false;
        LabelMon->setText(QString::fromUtf8(e.what()));
    }
}

void ClassMonitor::fill(course::Monitor m) {
    // The class by name, whatever order the server keeps its sessions in.
    std::stable_sort(m.signedIn.begin(), m.signedIn.end(), [](const auto& a, const auto& b) {
        return QString::localeAwareCompare(toQ(a.name), toQ(b.name)) < 0;
    });
    // The last end of each person, for the signed-in rows.
    std::map<std::string, const course::MonitorEnd*> last;
    for (const course::MonitorEnd& e : m.recent)
        last.emplace(e.name, &e);
    GridMon->setRowCount(static_cast<int>(m.signedIn.size()));
    int running = 0;
    for (int r = 0; r < static_cast<int>(m.signedIn.size()); ++r) {
        const course::MonitorPerson& p = m.signedIn[static_cast<std::size_t>(r)];
        const bool inRun = !p.test.empty();
        running += inRun;
        const auto end = last.find(p.name);
        fillRow(GridMon, r,
                {toQ(p.name) + (p.administrator ? QStringLiteral(" (администратор)") : QString()), p.address,
                 inRun ? toQ(p.test) : QString(),
                 inRun ? QStringLiteral("вопрос %1 из %2").arg(p.question).arg(p.count) : QString(),
                 end != last.end() ? gradeText(end->second->grade) + QStringLiteral(" (") +
                                         toQ(end->second->test) + QStringLiteral(")")
                                   : QString()});
    }
    GridMonEnded->setRowCount(static_cast<int>(m.recent.size()));
    for (int r = 0; r < static_cast<int>(m.recent.size()); ++r) {
        const course::MonitorEnd& e = m.recent[static_cast<std::size_t>(r)];
        fillRow(GridMonEnded, r, {e.time, toQ(e.name), toQ(e.test), gradeText(e.grade)});
    }
    LabelMon->setText(QStringLiteral("В программе: %1; идёт тестов: %2. Обновлено в %3.")
                          .arg(m.signedIn.size())
                          .arg(running)
                          .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
}

void TForm1::NMonClick() {
    if (!administratorSignedIn())
        return;
    if (!course().monitor()) {
        dialogs::error(
            this, QStringLiteral("Монитор класса работает только с сервером класса (ortavia --server)."));
        return;
    }
    ClassMonitor::open(this);
}

} // namespace ortavia::ui
