// The question notation on the test screen: a question with 20 commands and a figure, from its text
// to the typeset document laid out and painted, the first time and then again and again (the
// figure's file is read once). With --shot FILE TEST N, instead: the test screen of the sample
// course at the display's size showing question N of test TEST (test1 ... test10), saved as FILE.
// Run from the source folder:
//   ./build/bench/bench_notation [course folder]
//   ./build/bench/bench_notation --shot screenshots/notation.png test3 2 [course folder]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "ui/answer_button.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/formula.h"
#include "ui/tform1.h"

using namespace ortavia;

namespace {

const QString kQuestion = QStringLiteral(
    "Брусок массой m на плоскости с углом \\alpha: F_{тр} = \\mu{}mg\\cdot cos\\alpha, N = mg\\cdot "
    "cos\\alpha, "
    "a = g(sin\\alpha - \\mu cos\\alpha) \\approx 2,5 м/с^2; v = \\sqrt{2aL}, E_k = \\frac{mv^2}{2}, "
    "\\vec{F}_{12}, \\Delta{}t \\ge 0, \\omega_0^2 \\img{incline.svg}");

int shot(const char* file, const char* test, int question) {
    bench::seedUsers(1, "5");
    store::Batch records("\\users.ini");
    for (int k = 2; k <= 10; ++k)
        records.write("student0", "test" + std::to_string(k), "5");
    records.commit();
    ui::Program program;
    bench::passTitle(program);
    ui::TForm1* w = program.form1.get();
    auto find = [w](const char* name) { return ui::findComponent(w, QString::fromLatin1(name)); };
    qobject_cast<QLineEdit*>(find("Edit2"))->setText(QStringLiteral("student0"));
    qobject_cast<QLineEdit*>(find("MaskEdit1"))->setText(QStringLiteral("pw0"));
    qobject_cast<QPushButton*>(find("SpeedButton3"))->click();
    qobject_cast<QAction*>(find(test))->trigger();
    for (int k = 1; k < question; ++k)
        emit qobject_cast<ui::AnswerButton*>(find("RadioButton1"))->doubleClicked();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const bool saved = w->grab().save(QString::fromLocal8Bit(file));
    std::printf("window %dx%d%s\n", w->width(), w->height(), saved ? "" : ", not saved");
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    bench::offscreenByDefault();
    ui::prepareApplication();
    QApplication app(argc, argv);
    ui::dialogs::setTestMode(true);
    const bool shooting = argc > 2 && std::strcmp(argv[1], "--shot") == 0;
    const QString out =
        shooting ? QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[2])) : QString();
    const int courseArg = shooting ? 5 : 1;
    const char* course = argc > courseArg ? argv[courseArg] : "course";
    QTemporaryDir scratch;
    std::filesystem::copy(course, scratch.path().toStdString(), std::filesystem::copy_options::recursive);
    QDir::setCurrent(scratch.path());
    if (shooting)
        return shot(out.toLocal8Bit().constData(), argc > 3 ? argv[3] : "test3",
                    argc > 4 ? std::atoi(argv[4]) : 2);

    std::vector<double> times;
    const int rounds = 200;
    double first = 0;
    for (int round = 0; round <= rounds; ++round) {
        QElapsedTimer t;
        t.start();
        QTextDocument doc;
        ui::formula::show(&doc, kQuestion, {QSize(800, 240), 1}, 1);
        doc.setTextWidth(820);
        QImage page(820, static_cast<int>(doc.size().height()) + 1, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&page);
        doc.drawContents(&painter);
        painter.end();
        const double ms = t.nsecsElapsed() / 1e6;
        if (round == 0)
            first = ms;
        else
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double ms : times)
        sum += ms;
    std::printf("question with 20 commands and a figure, typeset, laid out and painted:\n"
                "first %.2f ms; then mean %.2f ms, median %.2f ms, max %.2f ms (%d rounds)\n",
                first, sum / times.size(), times[times.size() / 2], times.back(), rounds);
    return 0;
}
