#pragma once
// The teacher's live view of a lab served by ortavia-server (administrator, "Басқару" → "Монитор
// класса"): the table GridMon of everyone signed in now, the computer, the test going on with
// "вопрос n из N" and the grade of the person's last run, and the table GridMonEnded of the runs
// as they end. Read from the server every three seconds while the window is open.
#include <QDialog>
#include <QTimer>

#include "course/course.h"

class QLabel;
class QTableWidget;

namespace ortavia::ui {

class ClassMonitor : public QDialog {
    Q_OBJECT
public:
    // A window of the main window, on its course.
    explicit ClassMonitor(QWidget* mainWindow);

    // The window of the main window (made on first use, then brought to the front), read anew.
    static ClassMonitor* open(QWidget* mainWindow);

    static constexpr int kRefreshMs = 3000;
    void reload(); // reads the server's view once; a failure is told in the window's line

private:
    void fill(course::Monitor m);

    course::Course& course_;
    QTimer refresh_;
    bool reading_ = false;
    QTableWidget* GridMon = nullptr;
    QTableWidget* GridMonEnded = nullptr;
    QLabel* LabelMon = nullptr;
};

} // namespace ortavia::ui
