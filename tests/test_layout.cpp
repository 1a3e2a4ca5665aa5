// The screens on every common display: the main window, the title screen and the dialogs open
// inside the screen; the fixed screens are shown whole, scaled down uniformly where the client
// area is smaller than their design, centred where it is larger, exactly as designed where it
// fits; no text runs past its window's edge.
//
// The screen is the offscreen platform's own (800 x 800) unless ORTAVIA_TEST_SCREEN names one
// as WIDTHxHEIGHT or WIDTHxHEIGHT@DPI (144 dpi is 150 % scaling); CTest runs the common displays.
#include <QChartView>
#include <QFile>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSvgWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QValueAxis>
#include <cmath>

#include "support/harness.h"
#include "testing/authoring.h"
#include "testing/notation.h"
#include "ui/answer_button.h"
#include "ui/design.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

QSize chosenScreen; // the logical size of the screen ORTAVIA_TEST_SCREEN names

const char* const kScreens[] = {"Panel2", "Panel3", "Panel6", "Panel7", "Panel4"};

QWidget* clientArea(const Running& run) {
    return run.main()->centralWidget();
}

// Resizes the main window so that its client area below the menu has the given size.
void setClientSize(const Running& run, QSize size) {
    run.main()->setMinimumSize(0, 0);
    for (int i = 0; i < 3 && clientArea(run)->size() != size; ++i) {
        run.main()->resize(run.main()->size() + size - clientArea(run)->size());
        QApplication::processEvents();
    }
    QCOMPARE(clientArea(run)->size(), size);
}

// The part of a control that the user sees: its rectangle clipped by every parent up to the
// client area, in the client area's coordinates.
QRect seenPart(const QWidget* control, const QWidget* client) {
    QRect seen(control->mapTo(client, QPoint(0, 0)), control->size());
    for (const QWidget* p = control->parentWidget(); p && p != client; p = p->parentWidget())
        seen &= QRect(p->mapTo(client, QPoint(0, 0)), p->size());
    return seen & client->rect();
}

// The inner parts of a text area or a combo box, placed by their owner.
bool innerPart(const QWidget* w) {
    return w->objectName().startsWith(QLatin1String("qt_")) ||
           w->parentWidget()->inherits("QAbstractScrollArea") || w->parentWidget()->inherits("QComboBox");
}

// Every control of a screen is seen whole: nothing of it lies outside its panel or the client area.
void checkScreenWhole(const Running& run, const char* screen) {
    QWidget* client = clientArea(run);
    auto* panel = run.control<QWidget>(screen);
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(panel) || w->size().isEmpty() || innerPart(w))
            continue;
        const QRect whole(w->mapTo(client, QPoint(0, 0)), w->size());
        QVERIFY2(seenPart(w, client) == whole,
                 qPrintable(QStringLiteral("%1/%2 %3 at %4,%5 %6x%7 not whole")
                                .arg(QLatin1String(screen), w->objectName(),
                                     QLatin1String(w->metaObject()->className()))
                                .arg(whole.x())
                                .arg(whole.y())
                                .arg(whole.width())
                                .arg(whole.height())));
    }
}

// What a text needs to be read whole in a label: each line fits its width, or the label wraps
// and every word fits and all lines fit its height.
void checkTextFits(const QLabel* label, const QWidget* window) {
    const QString name = window->objectName() + QLatin1Char('/') + label->objectName();
    QVERIFY2(window->rect().contains(label->geometry()),
             qPrintable(name + QStringLiteral(" lies past the window's edge")));
    const QFontMetrics metrics(label->font());
    if (label->wordWrap()) {
        for (const QString& word : label->text().split(QRegularExpression(QStringLiteral("\\s+"))))
            QVERIFY2(metrics.horizontalAdvance(word) <= label->width(),
                     qPrintable(name + QLatin1Char(' ') + word));
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
    } else {
        for (const QString& line : label->text().split(QLatin1Char('\n')))
            QVERIFY2(metrics.horizontalAdvance(line) <= label->width(),
                     qPrintable(name + QLatin1Char(' ') + line));
        QVERIFY2(metrics.height() * label->text().count(QLatin1Char('\n')) + metrics.height() <=
                     label->height() + 1,
                 qPrintable(name));
    }
}

void checkTextsFit(const QWidget* window) {
    for (const QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisibleTo(window) && !label->text().isEmpty())
            checkTextFits(label, window);
}

void checkInsideScreen(const QWidget* window) {
    const QRect room = window->screen()->availableGeometry();
    QVERIFY2(room.contains(window->frameGeometry()),
             qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 outside the screen %6x%7")
                            .arg(window->objectName())
                            .arg(window->frameGeometry().x())
                            .arg(window->frameGeometry().y())
                            .arg(window->frameGeometry().width())
                            .arg(window->frameGeometry().height())
                            .arg(room.width())
                            .arg(room.height())));
}

// The geometry and font size of every control of the fixed screens, one line each.
QStringList snapshot(const Running& run) {
    QStringList all;
    for (const char* screen : kScreens) {
        auto* panel = run.control<QWidget>(screen);
        QWidgetList widgets = panel->findChildren<QWidget*>();
        widgets << panel;
        for (QWidget* w : widgets)
            if (!innerPart(w)) {
                const QRect g = w->geometry();
                all << QStringLiteral("%1/%2 %3,%4 %5x%6 %7px")
                           .arg(QLatin1String(screen), w->objectName())
                           .arg(g.x())
                           .arg(g.y())
                           .arg(g.width())
                           .arg(g.height())
                           .arg(w->font().pixelSize());
            }
    }
    return all;
}

// Signs in a user and starts test 1: the test screen is in front with its five answers.
void startTest(const Running& run) {
    writeTest(QStringLiteral("test1"), {1, 2, 3});
    run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
    run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
    run.trigger("test1");
    QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
}

// The client areas of the common displays that are smaller than the screens' design.
void addSmallClientAreas() {
    QTest::newRow("1366x768") << QSize(926, 705);
    QTest::newRow("1024x768 narrow") << QSize(780, 705);
    QTest::newRow("150 %") << QSize(926, 657);
    QTest::newRow("640 high") << QSize(926, 640);
    QTest::newRow("smallest window") << QSize(640, 457);
    QTest::newRow("wide and low") << QSize(1200, 500);
}

// A test whose first question holds formulas and a figure (600 x 400 pixels, fig.png of the course's
// figure folder) and five answers with formulas, the last one long enough for several lines.
const char* const kLongAnswer =
    "при \\alpha \\to 0 сила трения покоя F_{тр} = \\mu{}mg стремится к весу тела, потому что нормальная "
    "реакция опоры N = mg\\cdot cos\\alpha почти не отличается от силы тяжести, а составляющая силы тяжести "
    "вдоль плоскости mg\\cdot sin\\alpha стремится к нулю; поэтому брусок остаётся в покое при любом "
    "коэффициенте трения, и это верно для любого тела на почти горизонтальной плоскости";

void startFigureTest(const CourseFolder& course, const Running& run, const char* question) {
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(QDir().mkpath(course.file(QStringLiteral("data/tests/img"))));
    QVERIFY(image.save(course.file(QStringLiteral("data/tests/img/fig.png"))));
    const std::vector<testing::authoring::Item> items{
        {cp(question),
         {cp("v = \\sqrt{2gh}"), cp("E_k = \\frac{mv^2}{2}"), cp("\\vec{F}_{12} = -\\vec{F}_{21}"),
          cp("x_{i}^{2} \\cdot \\mu_0"), cp(kLongAnswer)},
         4,
         0},
        {cp("Второй вопрос"), {cp("да"), cp("нет")}, 0, 0}};
    course.write(QStringLiteral("data/tests/test1.ini"),
                 QByteArray::fromStdString(testing::authoring::testFileContent(items)));
    run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
    run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
    const int boxes = boxCount();
    run.trigger("test1");
    QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
    QCOMPARE(boxCount(), boxes); // a missing figure is no error
}

// The size of the first image of a text box's document, and where it is.
QSize imageIn(const QTextEdit* box, int* position = nullptr) {
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
                if (position)
                    *position = it.fragment().position();
                return QSizeF(f.width(), f.height()).toSize();
            }
    return {};
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void designSizeShowsEveryScreenAsDesigned() {
        CourseFolder course;
        Running run;
        setClientSize(run, QSize(926, 740));
        struct Placed {
            const char* name;
            QRect geometry;
            int fontPixels;
        };
        // The design of the screens, in pixels of the client area (the panels) or of the panel.
        const Placed design[] = {
            {"Panel2", {0, -8, 921, 745}, 11},         {"Panel3", {0, 0, 920, 737}, 11},
            {"Panel6", {1, 1, 920, 736}, 11},          {"Panel7", {0, 0, 920, 737}, 11},
            {"Panel4", {0, 0, 920, 737}, 11},          {"SignInCard", {250, 150, 420, 400}, 11},
            {"Edit2", {40, 136, 340, 32}, 16},         {"MaskEdit1", {40, 204, 340, 32}, 16},
            {"SpeedButton3", {40, 278, 340, 40}, 16},  {"SpeedButton1", {40, 334, 165, 36}, 13},
            {"SpeedButton2", {215, 334, 165, 36}, 13}, {"Memo1", {40, 84, 840, 170}, 21},
            {"Panel5", {40, 270, 840, 430}, 11},       {"RadioButton1", {52, 12, 770, 72}, 19},
            {"RadioButton5", {52, 340, 770, 72}, 19},  {"ComboBox1", {395, 38, 206, 28}, 16},
            {"SpeedButton4", {366, 464, 203, 65}, 19}, {"Edit3", {80, 136, 400, 30}, 16},
            {"Edit6", {80, 364, 400, 30}, 16},         {"SpeedButton7", {80, 430, 190, 40}, 15},
            {"SpeedButton6", {290, 430, 190, 40}, 15}, {"Image1", {560, 150, 260, 260}, 11},
            {"Memo2", {4, 2, 912, 690}, 14},           {"SpeedButton5", {380, 698, 161, 30}, 13},
        };
        for (const Placed& p : design) {
            auto* w = run.control<QWidget>(p.name);
            QCOMPARE(w->geometry(), p.geometry);
            QCOMPARE(w->font().pixelSize(), p.fontPixels);
        }
        QCOMPARE(run.control<QLabel>("Label39")->pos(), QPoint(40, 16));
        QCOMPARE(run.control<QLabel>("Label3")->pos(), QPoint(257, 10));
        QCOMPARE(run.control<QLabel>("Label18")->pos(), QPoint(192, 82));
        QCOMPARE(run.control<QLabel>("Label27")->pos(), QPoint(192, 82 + 36 * 9));
        QCOMPARE(run.control<QLabel>("Label34")->pos(), QPoint(80, 110));
        QCOMPARE(run.control<QWidget>("Panel1")->geometry(), clientArea(run)->rect());

        // Smaller and back again: the design comes back exactly.
        const auto designed = snapshot(run);
        setClientSize(run, QSize(640, 457));
        QVERIFY(snapshot(run) != designed);
        setClientSize(run, QSize(926, 740));
        QCOMPARE(snapshot(run), designed);
    }

    void smallClientAreaShowsEveryScreenWhole_data() {
        QTest::addColumn<QSize>("client");
        addSmallClientAreas();
    }

    void smallClientAreaShowsEveryScreenWhole() {
        QFETCH(QSize, client);
        CourseFolder course;
        Running run;
        startTest(run);
        setClientSize(run, client);
        const double s = ui::design::fitScale(QSize(921, 737), client);
        QVERIFY(s < 1);
        for (const char* screen : kScreens) {
            auto* panel = run.control<QWidget>(screen);
            panel->setVisible(true); // as the screen commands do; each is checked where it stands
            checkScreenWhole(run, screen);
        }
        // The screens keep their proportions and stand in the middle.
        const QRect test = run.control<QWidget>("Panel3")->geometry();
        QCOMPARE(test.size(), ui::design::scaled(QSize(920, 737), s));
        QVERIFY(qAbs(test.center().x() - clientArea(run)->rect().center().x()) <= 4);
        QCOMPARE(run.control<QTextEdit>("Memo1")->font().pixelSize(), ui::design::scaled(21, s));
        QCOMPARE(run.control<ui::AnswerButton>("RadioButton5")->font().pixelSize(),
                 ui::design::scaled(19, s));
        for (int k = 1; k <= 5; ++k) {
            auto* answer = run.control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
            QVERIFY(answer->isVisibleTo(run.main()));
            QVERIFY(!answer->text().isEmpty());
        }
        QCOMPARE(run.control<QWidget>("Panel1")->geometry(), clientArea(run)->rect());
        // Answer E can be chosen where it stands.
        run.answer(5);
        QCOMPARE(run.main()->questionNumber(), 2);
    }

    void questionWithAFigureAndFormulasIsShownWhole_data() {
        QTest::addColumn<QSize>("client");
        QTest::newRow("as opened") << QSize();
        QTest::newRow("design") << QSize(926, 740);
        addSmallClientAreas();
    }

    void questionWithAFigureAndFormulasIsShownWhole() {
        // At the display's own size and at every client area: the figure fits the question box, up
        // to its natural size, its proportions kept; every answer, the long one too, is shown whole
        // where the screen scrolls it to, and can be given.
        QFETCH(QSize, client);
        CourseFolder course;
        Running run;
        startFigureTest(course, run, "Брусок на плоскости с углом \\alpha, g = 9,8 м/с^2: \\img{fig.png}");
        if (client.isValid())
            setClientSize(run, client);
        auto* memo = run.control<QTextEdit>("Memo1");
        const QSize figure = imageIn(memo);
        QVERIFY(figure.isValid());
        QVERIFY(figure.width() <= 600 && figure.height() <= 400);
        QVERIFY(figure.width() <= memo->viewport()->width());
        QVERIFY(qAbs(double(figure.width()) / figure.height() - 1.5) < 0.03);
        QVERIFY(figure.height() >= 100 * memo->font().pixelSize() / 21); // never shrunk to nothing
        QVERIFY(memo->height() >= memo->document()->size().height());

        auto* area = run.control<QScrollArea>("QuestionArea");
        QVERIFY(area->widget()->width() <= area->viewport()->width());
        for (int k = 1; k <= 5; ++k) {
            auto* answer = run.control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
            area->ensureWidgetVisible(answer);
            QApplication::processEvents();
            QCOMPARE(seenPart(answer, area->viewport()),
                     QRect(answer->mapTo(area->viewport(), QPoint(0, 0)), answer->size()));
            QVERIFY(answer->height() >= answer->heightForWidth(answer->width()));
        }
        // The long answer's words all fit the rows it has (measured as plain text).
        auto* last = run.control<ui::AnswerButton>("RadioButton5");
        const QFontMetrics metrics(last->font());
        const int lines = metrics
                              .boundingRect(QRect(0, 0, last->width() - 40, 10000), Qt::TextWordWrap,
                                            testing::notation::toPlainText(last->text()))
                              .height() /
                          metrics.lineSpacing();
        QVERIFY(lines >= 3);
        QVERIFY2(last->height() >= lines * metrics.lineSpacing(),
                 qPrintable(QString::number(last->height())));
        run.answer(5);
        QCOMPARE(run.main()->questionNumber(), 2);
        QCOMPARE(area->verticalScrollBar()->value(), 0); // the next question from its top
    }

    void figureOpensLargeAndAMissingOneIsItsName() {
        CourseFolder course;
        Running run;
        startFigureTest(course, run, "\\img{fig.png} и \\img{absent.png}");
        auto* memo = run.control<QTextEdit>("Memo1");
        QVERIFY(memo->toPlainText().endsWith(QStringLiteral(" и [рисунок: absent.png]")));
        int at = -1;
        const QSize figure = imageIn(memo, &at);
        QTextCursor cursor(memo->document());
        cursor.setPosition(at);
        const QRect place = memo->cursorRect(cursor);
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(place.left() + figure.width() / 3, place.bottom() - 4));
        auto* view = run.main()->findChild<QWidget*>(QStringLiteral("FigureView"));
        QVERIFY(view && view->isVisible());
        QCOMPARE(run.main()->questionNumber(), 1);
        QTest::keyClick(view, Qt::Key_Escape);
        QTRY_VERIFY(!run.main()->findChild<QWidget*>(QStringLiteral("FigureView")));
        // From the keyboard: Enter on the question.
        QTest::keyClick(memo, Qt::Key_Return);
        QVERIFY(run.main()->findChild<QWidget*>(QStringLiteral("FigureView")));
    }

    void largeClientAreaCentresTheScreens() {
        CourseFolder course;
        Running run;
        startTest(run);
        setClientSize(run, QSize(1904, 1000));
        QCOMPARE(run.control<QWidget>("Panel3")->geometry(),
                 QRect((1904 - 926) / 2, (1000 - 740) / 2, 920, 737));
        QCOMPARE(run.control<QWidget>("RadioButton5")->geometry(), QRect(52, 340, 770, 72));
        QCOMPARE(run.control<QWidget>("Panel1")->geometry(), clientArea(run)->rect());
        checkScreenWhole(run, "Panel3");
    }

    void maximisedTestScreenStandsInTheMiddle() {
        CourseFolder course;
        Running run;
        startTest(run);
        run.main()->showMaximized();
        QTRY_VERIFY(run.main()->isMaximized());
        const QRect test(run.control<QWidget>("Panel3")->mapTo(clientArea(run), QPoint(0, 0)),
                         run.control<QWidget>("Panel3")->size());
        QVERIFY(qAbs(test.center().x() - clientArea(run)->rect().center().x()) <= 4);
        QVERIFY(qAbs(test.center().y() - clientArea(run)->rect().center().y()) <= 1);
        checkScreenWhole(run, "Panel3");
    }

    void mainWindowOpensInsideTheScreen() {
        CourseFolder course;
        Running run;
        checkInsideScreen(run.main());
        const QSize room = run.main()->screen()->availableGeometry().size();
        if (chosenScreen.isValid())
            QCOMPARE(room, chosenScreen);
        const QSize smallest = QSize(640, 480).boundedTo(room);
        QVERIFY(run.main()->minimumWidth() >= smallest.width() - 16);
        QVERIFY(run.main()->minimumHeight() >= smallest.height() - 40);
        if (room.width() >= 926 + 16 && room.height() >= 760 + 40) { // room for the design: as designed
            QCOMPARE(run.main()->size(), QSize(926, 760));
            QCOMPARE(clientArea(run)->size(), QSize(926, 740));
        }
        for (const char* screen : kScreens) {
            run.control<QWidget>(screen)->setVisible(true);
            checkScreenWhole(run, screen);
        }
    }

    void titleScreenAndDialogsOpenInsideTheScreen() {
        CourseFolder course;
        Running run(false);
        run.main()->show();
        QWidget* windows[] = {run.program.form3.get(), run.program.okRightDlg.get(), run.program.form5.get(),
                              run.program.okRightDlg1.get()};
        for (QWidget* window : windows) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            checkInsideScreen(window);
            checkTextsFit(window);
            window->hide();
        }
    }

    void windowsOfTheAdditionsFitTheScreen() {
        CourseFolder course;
        std::vector<std::string> names(38);
        std::vector<const char*> list;
        for (std::string& n : names) {
            storeRecord((n = "s" + std::to_string(list.size())).c_str(), {"4"});
            list.push_back(n.c_str());
        }
        writeUserList(course, list);
        Running run;
        run.signInAdmin();
        // The window of each command (none: the encipher tool) and the button that closes it.
        const char* const windows[][3] = {{"NSvod", "FormSvod", "ButtonClose"},
                                          {"NStat", "FormStat", "ButtonClose"},
                                          {"NOpt", "FormOpt", "ButtonCancel"},
                                          {nullptr, "Form2", "Button2"}};
        for (const auto& [command, name, close] : windows) {
            command ? run.trigger(command) : run.program.form2->show();
            QWidget* window = run.main()->findChild<QWidget*>(QLatin1String(name));
            window = window ? window : run.program.form2.get();
            QVERIFY2(QTest::qWaitForWindowExposed(window), name);
            checkInsideScreen(window);
            QVERIFY2(window->findChild<QPushButton*>(QLatin1String(close))->isVisible(), name);
            for (const QPushButton* b : window->findChildren<QPushButton*>())
                QVERIFY2(!b->isVisibleTo(window) ||
                             window->rect().contains(QRect(b->mapTo(window, QPoint(0, 0)), b->size())),
                         qPrintable(QLatin1String(name) + QLatin1Char('/') + b->objectName()));
            window->hide();
        }
        // The counts of the statistics' charts on whole-number ticks (38 students, no attempt).
        for (const char* chart : {"ChartGrades", "ChartDays"}) {
            const auto* axis = qobject_cast<QValueAxis*>(run.main()
                                                             ->findChild<QChartView*>(QLatin1String(chart))
                                                             ->chart()
                                                             ->axes(Qt::Vertical)
                                                             .value(0));
            const double step = axis->tickInterval();
            QVERIFY2(axis->tickType() == QValueAxis::TicksDynamic && axis->tickAnchor() == 0 && step >= 1 &&
                         step == std::round(step) && axis->max() / step <= 8 &&
                         axis->max() >= (chart[5] == 'G' ? 38 : 1),
                     chart);
        }
    }

    void testEditorOpensInsideTheScreenAndShowsEveryControlWhole() {
        CourseFolder course;
        Running run;
        run.signInAdmin();
        run.trigger("NEditor");
        auto* editor = run.main()->findChild<QWidget*>(QStringLiteral("TestEditor"));
        QVERIFY(editor);
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        editor->findChild<QPushButton*>(QStringLiteral("ButtonOpen"))->click(); // test 1 of the course
        QApplication::processEvents();
        checkInsideScreen(editor);
        const QSize room = editor->screen()->availableGeometry().size();
        QVERIFY(editor->width() <= room.width() && editor->height() <= room.height());
        if (room.width() >= 1000 && room.height() >= 700) // room for the design: as designed
            QCOMPARE(editor->size(), QSize(1000, 700));
        // Every control lies whole inside the window (the preview scrolls inside its own area).
        for (QWidget* w : editor->findChildren<QWidget*>()) {
            bool scrolled = false;
            for (QWidget* p = w->parentWidget(); p && p != editor; p = p->parentWidget())
                scrolled = scrolled || p->inherits("QAbstractScrollArea");
            if (!w->isVisibleTo(editor) || w->size().isEmpty() || innerPart(w) || scrolled)
                continue;
            const QRect whole(w->mapTo(editor, QPoint(0, 0)), w->size());
            QVERIFY2(editor->rect().contains(whole), qPrintable(w->objectName()));
        }
        for (const char* name : {"ListQuestions", "MemoQuestion", "EditAnswer5", "RadioRight5",
                                 "PanelPreview", "ButtonSave", "ButtonDown"})
            QVERIFY2(editor->findChild<QWidget*>(QLatin1String(name))->isVisibleTo(editor), name);
        checkTextsFit(editor);
    }

    void textsStayInsideTheirWindowsAtTheirDesign() {
        // The title screen and the information windows as built, before any display is known.
        CourseFolder course;
        Running run(false);
        QCOMPARE(run.program.form3->size(), QSize(719, 655));
        for (QWidget* window :
             std::initializer_list<QWidget*>{run.program.form3.get(), run.program.okRightDlg.get(),
                                             run.program.form5.get(), run.program.okRightDlg1.get()})
            checkTextsFit(window);
    }

    void longTextsMoveLeftAsAColumnThenWrap() {
        QWidget window;
        window.resize(400, 300);
        auto label = [&](const QString& text, QPoint at) {
            auto* l = new QLabel(text, &window);
            l->move(at);
            l->adjustSize();
            return l;
        };
        QLabel* fits = label(QStringLiteral("short"), {300, 10});
        QLabel* longer = label(QStringLiteral("a text of some length"), {300, 40});
        QLabel* other = label(QStringLiteral("other"), {20, 70});
        QLabel* tooLong =
            label(QStringLiteral("a text far too long for this window even when it starts at the margin"),
                  {200, 100});
        const int longerWidth = longer->width();
        ui::design::keepTextsInside(&window, 8);
        QCOMPARE(longer->x(), 400 - 8 - longerWidth);
        QCOMPARE(fits->x(), longer->x()); // the column stays one column
        QCOMPARE(other->pos(), QPoint(20, 70));
        QCOMPARE(tooLong->x(), 8);
        QVERIFY(tooLong->wordWrap());
        for (QLabel* l : {fits, longer, other, tooLong})
            checkTextFits(l, &window);
    }

    void scaleFunctionKeepsEdgesTogether() {
        using ui::design::scaled;
        QCOMPARE(ui::design::fitScale({926, 737}, {1000, 800}), 1.0);
        QCOMPARE(ui::design::fitScale({926, 737}, {463, 737}), 0.5);
        QCOMPARE(scaled(QRect(0, 0, 921, 745), 1.0), QRect(0, 0, 921, 745));
        // Two rectangles that touch at design keep touching at any scale.
        for (double s : {0.33, 0.5, 0.77, 0.9}) {
            const QRect a = scaled(QRect(3, 5, 7, 11), s), b = scaled(QRect(10, 5, 9, 11), s);
            QCOMPARE(a.right() + 1, b.left());
        }
        QFont f;
        f.setPixelSize(21);
        QCOMPARE(ui::design::scaled(f, 0.5).pixelSize(), 11);
        QCOMPARE(ui::design::scaled(f, 1.0).pixelSize(), 21);
    }
};

// The screen of ORTAVIA_TEST_SCREEN as the offscreen platform's configuration.
static void chooseScreen() {
    const QByteArray wanted = qgetenv("ORTAVIA_TEST_SCREEN");
    if (wanted.isEmpty() || !qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
        return;
    static QTemporaryDir dir;
    const QList<QByteArray> sizeAndDpi = wanted.split('@');
    const QList<QByteArray> size = sizeAndDpi.front().split('x');
    const int dpi = sizeAndDpi.size() > 1 ? sizeAndDpi[1].toInt() : 96;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (size.size() != 2 || !config.open(QIODevice::WriteOnly))
        qFatal("ORTAVIA_TEST_SCREEN: WIDTHxHEIGHT[@DPI]");
    config.write(QStringLiteral("{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, \"width\": %1, "
                                "\"height\": %2, \"logicalDpi\": %3, \"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                     .arg(QString::fromLatin1(size[0]), QString::fromLatin1(size[1]))
                     .arg(dpi)
                     .toUtf8());
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    chosenScreen = QSize(size[0].toInt(), size[1].toInt()) * 96 / dpi;
}

int main(int argc, char** argv) {
    chooseScreen();
    ortavia::ui::prepareApplication();
    QApplication app(argc, argv);
    ortavia::ui::dialogs::setTestMode(true);
    LayoutTest tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "test_layout.moc"
