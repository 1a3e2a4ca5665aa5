// A whole test run through the main window (offscreen): a 1,000-question test, each answer step
// timed from the double click to the next question on screen, and the end of the run (grade,
// journal line, progress screen, grades saved) among 10,000 registered users.
// Run: QT_QPA_PLATFORM=offscreen ./build/bench/bench_testrun
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/program.h"
#include "app/tform3.h"
#include "bench_support.h"
#include "store/store.h"
#include "store/textfile.h"
#include "testing/testing.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

using namespace ortavia;

int main(int argc, char** argv) {
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QDir().mkpath(QStringLiteral("data/tests"));

    const int questions = 1000;
    {
        store::Batch test(testing::testFileName("test1"));
        const std::string filler(180, 'x');
        for (int n = 1; n <= questions; ++n) {
            const std::string s = std::to_string(n);
            test.write(s, "q", "Question " + s + " " + filler);
            for (int k = 1; k <= 5; ++k)
                test.write(s, "a" + std::to_string(k), "Answer " + std::to_string(k) + " " + filler);
            test.write(s, "ap", std::to_string(1 + n % 5));
        }
        test.write("inf", "vsego", std::to_string(questions));
        test.commit();
    }
    bench::seedUsers(10000, "0");

    ui::Program program;
    bench::passTitle(program);
    ui::TForm1* w = program.form1.get();
    ui::findComponentAs<QLineEdit>(w, QStringLiteral("Edit2"))->setText(QStringLiteral("student5000"));
    ui::findComponentAs<QLineEdit>(w, QStringLiteral("MaskEdit1"))->setText(QStringLiteral("pw5000"));
    ui::findComponentAs<QPushButton>(w, QStringLiteral("SpeedButton3"))->click();
    ui::findComponentAs<QAction>(w, QStringLiteral("test1"))->trigger();

    std::vector<double> steps;
    double end = 0;
    for (int n = 1; n <= questions; ++n) {
        QElapsedTimer t;
        t.start();
        w->RadioButtonDblClick(1 + n % 5);
        QCoreApplication::processEvents(); // the repaint of the new question
        const double ms = t.nsecsElapsed() / 1e6;
        if (n < questions)
            steps.push_back(ms);
        else
            end = ms;
    }
    std::sort(steps.begin(), steps.end());
    double sum = 0;
    for (double s : steps)
        sum += s;
    std::printf("answer step (1,000-question test, %zu steps): mean %.2f ms, median %.2f ms, max %.2f ms\n",
                steps.size(), sum / steps.size(), steps[steps.size() / 2], steps.back());
    std::printf("end of the run (grade %d, journal, progress screen, record among 10,000): %.2f ms\n",
                int(w->grades()[0]), end);
    std::printf("boxes shown: %d\n", int(ui::dialogs::shownBoxes().size()));
    return 0;
}
