#pragma once
// The test statistics window (administrator, "Есеп" → "Статистика тестов"): for each test the
// distribution of the stored grades over the class (a stacked bar chart), the number of students
// who took it and the pass rate; from the journal the number of attempts per day (a line chart)
// and the mean grade of each test over all attempts. Built from the class table and the journal
// statistics of reports/ as the course gives them, each file read once. A second page analyses the questions
// of each test from the answer log: a table sorted by share right, the questions to review marked.
//
// Small files are read at once. A journal and an answer log larger than kReadAtOnce bytes are read
// by a worker thread, the journal as a stream in pieces: the window stays responsive and shows the
// progress, and closing it stops the reading. Nothing of the files stays in memory afterwards.
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "reports/item_analysis.h"
#include "reports/journal_stats.h"

class QChartView;
class QComboBox;
class QLabel;
class QProgressBar;
class QTabWidget;
class QTableWidget;
class QValueAxis;

namespace ortavia::ui {

class TestStatistics : public QDialog {
    Q_OBJECT
public:
    explicit TestStatistics(QWidget* parent = nullptr);
    ~TestStatistics() override;

    // Files up to this size together are read before reload returns.
    static constexpr std::uint64_t kReadAtOnce = 4 << 20;

    // The window of the main window (made on first use, then brought to the front), filled anew
    // from the main window's course; journalName names the session's journal in messages.
    static TestStatistics* open(QWidget* mainWindow, const std::string& journalName);

    void reload(const std::string& journalName);
    const reports::Statistics& statistics() const { return statistics_; }
    const reports::ItemAnalysis& items() const { return items_; }
    bool loading() const { return worker_.joinable(); }

protected:
    void closeEvent(QCloseEvent* event) override;

    // An axis of counts from 0 to a little over the highest, its ticks on whole numbers.
    static void setCountAxis(QValueAxis* axis, long long highest);

private:
    struct Loaded;
    void stopLoading();
    void showLoaded(Loaded loaded);
    void fillTable();
    void fillGradesChart();
    void fillDaysChart();
    void fillItems(); // the questions of the test chosen in ComboItems

    reports::Statistics statistics_;
    reports::ItemAnalysis items_;
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> stop_;
    int generation_ = 0; // of the reading under way; what an older one sends is dropped
    QProgressBar* ProgressStat = nullptr;
    QTabWidget* TabsStat = nullptr;
    QComboBox* ComboItems = nullptr;
    QLabel* LabelItems = nullptr;
    QTableWidget* GridItems = nullptr;
    QLabel* LabelStat = nullptr;
    QTableWidget* GridStat = nullptr;
    QChartView* ChartGrades = nullptr;
    QChartView* ChartDays = nullptr;
};

} // namespace ortavia::ui
