// The document catalogue and the viewer, the slide-show commands, the help start page, and the two
// information windows of the help menu; also the course documents that the catalogue names.
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>
#include <QWebEngineView>
#include <set>

#include "accounts/accounts.h"
#include "docs/catalogue.h"
#include "support/harness.h"

using namespace ortavia;
using namespace ortavia::testsupport;

namespace {

const QString kStudent = QStringLiteral("Айгерім");

std::vector<const docs::MenuEntry*> entriesOf(docs::Action kind) {
    std::vector<const docs::MenuEntry*> found;
    for (const docs::MenuEntry& e : docs::menuEntries())
        if (e.action == kind)
            found.push_back(&e);
    return found;
}

// The file a relative document path ("\data\...") names below a folder, as the file system has it.
QString below(const QString& folder, const char* relative) {
    return QDir(folder).canonicalPath() + QString::fromLatin1(relative).replace(QLatin1Char('\\'), '/');
}

// Whether the user can reach the entry through the menu: it and every menu above it are shown.
bool reachable(const Running& run, const docs::MenuEntry& e) {
    for (const docs::MenuEntry* x = &e; x; x = x->parent ? docs::findEntry(x->parent) : nullptr)
        if (!run.action(x->name)->isVisible())
            return false;
    return true;
}

// Triggers the view command and tells what differs from the viewer in front showing the file.
QString viewProblem(const Running& run, const docs::MenuEntry& e, const QString& expected,
                    const char* front = "Panel1") {
    run.trigger(e.name);
    QString problem;
    if (run.visibleScreen() != QLatin1String(front))
        problem += QStringLiteral(" screen %1;").arg(run.visibleScreen());
    for (const char* hidden : {"Panel2", "Panel3", "Panel4", "Panel6"})
        if (run.control<QWidget>(hidden)->isVisibleTo(run.main()))
            problem += QStringLiteral(" %1 visible;").arg(QLatin1String(hidden));
    if (!run.control<QWidget>("Panel1")->isVisibleTo(run.main()))
        problem += QStringLiteral(" Panel1 hidden;");
    if (run.main()->requestedUrl() != QUrl::fromLocalFile(expected))
        problem += QStringLiteral(" requested %1;").arg(run.main()->requestedUrl().toString());
    return problem.isEmpty() ? problem : QString::fromLatin1(e.name) + problem;
}

// Replaces the slide-show launcher for one test and records what it is handed.
struct LauncherSpy {
    QList<std::pair<QString, QStringList>> calls;
    std::function<void(const QString&, const QStringList&)> saved = ui::TForm1::launcher;
    LauncherSpy() {
        ui::TForm1::launcher = [this](const QString& p, const QStringList& a) { calls.append({p, a}); };
    }
    ~LauncherSpy() { ui::TForm1::launcher = saved; }
};

int authorsWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<ui::TForm5*>(w) ? 1 : 0;
    return n;
}

// Runs a modal dialog's command with `answer` called from inside its event loop; a dialog still open
// after 10 s is closed, so that a failing test ends.
void whileModal(const Running& run, const char* command, QDialog* dialog,
                const std::function<void()>& answer) {
    QTimer::singleShot(0, dialog, answer);
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, dialog, [dialog] {
        qWarning("dialog left open");
        dialog->done(-1);
    });
    safety.start(10000);
    run.trigger(command);
}

} // namespace

class ViewerTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void viewEntriesShowTheirDocumentsBeforeAndAfterSignIn() {
        const auto views = entriesOf(docs::Action::View);
        QCOMPARE(views.size(), std::size_t(51));
        CourseFolder course(Contents::Everything);
        Running run;
        // Before sign-in the lectures menu is hidden; the other document menus and help are offered.
        const std::set<std::string> early = {"nlab", "Nprak", "Nrk", "N8", "N21"};
        for (const docs::MenuEntry* e : views) {
            QCOMPARE(reachable(run, *e), early.count(e->parent) == 1);
            const QString file = below(course.path(), e->target);
            QVERIFY2(QFileInfo::exists(file), qPrintable(file));
            const QString problem = viewProblem(run, *e, file);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(boxCount(), 0);

        // A topic whose previous test is not passed is locked: its lecture command does nothing.
        run.trigger("NaFormuAvtorizazii");
        run.registerUser(kStudent, QStringLiteral("pw"));
        accounts::saveGrades(cp("Айгерім"), {5, 2});
        run.signIn(kStudent, QStringLiteral("pw"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        run.trigger("N3");
        QVERIFY(run.main()->requestedUrl() !=
                QUrl::fromLocalFile(below(course.path(), "\\data\\info\\lig-3.html")));
        run.trigger("N2"); // test 1 passed
        QCOMPARE(run.main()->requestedUrl(),
                 QUrl::fromLocalFile(below(course.path(), "\\data\\info\\lig-2.html")));
    }

    void viewEntriesAfterAllTopicsArePassed() {
        CourseFolder course(Contents::Everything);
        Running run;
        run.registerUser(kStudent, QStringLiteral("pw"));
        std::array<std::uint8_t, 12> passed;
        passed.fill(4);
        accounts::saveGrades(cp("Айгерім"), passed);
        run.signIn(kStudent, QStringLiteral("pw"));
        for (const docs::MenuEntry* e : entriesOf(docs::Action::View)) {
            QCOMPARE(reachable(run, *e), e->visible); // topics 6 to 10 stay hidden
            const QString problem = viewProblem(run, *e, below(course.path(), e->target));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(boxCount(), 1); // the registration notice only
    }

    void launchEntriesHandTheirSlideShowToTheOfficeSuite() {
        const std::vector<std::pair<const char*, int>> shows = {
            {"N24", 2},   {"N32", 3},   {"N52", 5},   {"N83", 8},   {"N92", 9},   {"N103", 10}, {"N116", 11},
            {"N123", 12}, {"N133", 13}, {"N143", 14}, {"N153", 15}, {"N162", 16}, {"N171", 17}, {"N181", 18}};
        QCOMPARE(entriesOf(docs::Action::Launch).size(), shows.size());
        CourseFolder course(Contents::Everything);
        // The command lines say "Data\Prezent\"; the folder on disk is spelled in other letter case.
        for (const auto& [name, number] : shows)
            course.write(QStringLiteral("data/prezent/%1.pps").arg(number), "slides");
        LauncherSpy spy;
        Running run;
        for (int round = 0; round < 2; ++round) {
            QVERIFY(!run.action("N5")->isVisible());
            const QString screen = run.visibleScreen();
            const QUrl page = run.main()->requestedUrl();
            for (const auto& [name, number] : shows) {
                spy.calls.clear();
                run.trigger(name);
                QCOMPARE(spy.calls.size(), 1);
                QCOMPARE(spy.calls[0].first, QStringLiteral("soffice"));
                const QString file = QFileInfo(course.file(QStringLiteral("data/prezent/%1.pps").arg(number)))
                                         .canonicalFilePath();
                QCOMPARE(spy.calls[0].second, QStringList({QStringLiteral("--show"), file}));
                QCOMPARE(run.visibleScreen(), screen);
                QCOMPARE(run.main()->requestedUrl(), page);
            }
            if (round == 0) {
                run.registerUser(kStudent, QStringLiteral("pw"));
                run.signIn(kStudent, QStringLiteral("pw"));
                QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
            }
        }
        QCOMPARE(boxCount(), 1);
    }

    void helpPageIsLoadedWhenTheViewerFirstShows() {
        CourseFolder course(Contents::Everything);
        const QUrl help = QUrl::fromLocalFile(below(course.path(), "\\data\\help\\sod.htm"));
        Running run;
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QCOMPARE(run.main()->requestedUrl(), help); // asked for when the window was created
        run.registerUser(kStudent, QStringLiteral("pw"));
        run.signIn(kStudent, QStringLiteral("pw"));
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QCOMPARE(run.main()->requestedUrl(), help);
        QCOMPARE(run.main()->browser()->url(), help);
        QTRY_COMPARE_WITH_TIMEOUT(run.main()->browser()->title(), QStringLiteral("Көмек"), 30000);

        // "Көмек" in the help menu shows the same page again.
        run.trigger("N111");
        QVERIFY(run.main()->requestedUrl() != help);
        const QString problem = viewProblem(run, *docs::findEntry("N27"), help.toLocalFile());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QTRY_COMPARE_WITH_TIMEOUT(run.main()->browser()->title(), QStringLiteral("Көмек"), 30000);
    }

    void startedFromAnotherFolderTheViewerAsksForMissingFiles() {
        {
            CourseFolder folder(Contents::Nothing);
            Running run;
            QCOMPARE(boxCount(), 1); // the administrator settings file is not there either
            const QString startBox = lastBoxText();
            QMap<QString, bool> menu;
            for (const docs::MenuEntry& e : docs::menuEntries())
                menu[QString::fromLatin1(e.name)] = run.action(e.name)->isVisible();
            for (const docs::MenuEntry* e : entriesOf(docs::Action::View)) {
                const QString problem = viewProblem(run, *e, below(folder.path(), e->target));
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
            }
            QCOMPARE(boxCount(), 1);
            QCOMPARE(lastBoxText(), startBox);
            for (const docs::MenuEntry& e : docs::menuEntries())
                QCOMPARE(run.action(e.name)->isVisible(), menu[QString::fromLatin1(e.name)]);
            QCOMPARE(QDir::currentPath(), folder.path());
            QVERIFY(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        }
        // At the root the formed path holds "/\data\..."; the doubled separator names the same file.
        const QString previous = QDir::currentPath();
        QDir::setCurrent(QStringLiteral("/"));
        {
            Running run;
            run.trigger("N111");
            QCOMPARE(run.main()->requestedUrl(), QUrl::fromLocalFile(QStringLiteral("/data/labs/1.htm")));
        }
        QDir::setCurrent(previous);
    }

    void viewerCommandsWorkBeneathTheSettingsScreen() {
        CourseFolder course(Contents::Everything);
        Running run;
        run.signInAdmin();
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        run.trigger("Ntun");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel7"));
        for (const char* name : {"n1", "N111", "N13", "N27", "N34"}) {
            const docs::MenuEntry* e = docs::findEntry(name);
            const QString problem = viewProblem(run, *e, below(course.path(), e->target), "Panel7");
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        run.click("SpeedButton6"); // "Назад" shows the lecture chosen last
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QCOMPARE(run.main()->requestedUrl(),
                 QUrl::fromLocalFile(below(course.path(), "\\data\\info\\lig-5.html")));
    }

    void aboutProgramDialogIsModalAndClosesOnItsButton() {
        CourseFolder course;
        Running run;
        QDialog* about = run.program.okRightDlg.get();
        auto* close = about->findChild<QPushButton*>(QStringLiteral("OKBtn"));
        QVERIFY(close);
        QCOMPARE(close->text(), QStringLiteral("Закрыть"));
        QVERIFY(close->isDefault());

        bool open = false, modal = false, openAfterEscape = false;
        whileModal(run, "N26", about, [&] {
            open = about->isVisible();
            modal = QApplication::activeModalWidget() == about;
            QTest::keyClick(about, Qt::Key_Escape); // no cancel button: Escape does nothing
            openAfterEscape = about->isVisible();
            close->click();
        });
        QVERIFY(open);
        QVERIFY(modal);
        QVERIFY(openAfterEscape);
        QVERIFY(!about->isVisible());
        QCOMPARE(about->result(), int(QDialog::Accepted));
        QCOMPARE(about->windowTitle(), QStringLiteral("О программе"));

        // Shown again: Enter presses "Закрыть"; the frame closes it too.
        open = false;
        whileModal(run, "N26", about, [&] {
            open = about->isVisible();
            QTest::keyClick(about, Qt::Key_Return);
        });
        QVERIFY(open);
        QCOMPARE(about->result(), int(QDialog::Accepted));
        open = false;
        whileModal(run, "N26", about, [&] {
            open = about->isVisible();
            about->close();
        });
        QVERIFY(open);
        QVERIFY(!about->isVisible());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel4"));
        QCOMPARE(boxCount(), 0);
    }

    void aboutAuthorsWindowIsOneModelessWindow() {
        CourseFolder course(Contents::Everything);
        Running run;
        QWidget* authors = run.program.form5.get();
        QCOMPARE(authorsWindows(), 1);
        QVERIFY(!authors->isVisible());
        run.trigger("N15");
        run.trigger("N15");
        QCOMPARE(authorsWindows(), 1);
        QVERIFY(authors->isVisible());
        QCOMPARE(authors->windowTitle(), QStringLiteral("Об авторе"));
        // The credits lie one under another, whole, within the window.
        QRect previous;
        for (const char* name : {"Label2", "Label1", "Label4", "Label3"}) {
            const QRect r = authors->findChild<QLabel*>(QString::fromLatin1(name))->geometry();
            QVERIFY2(authors->rect().contains(r), name);
            QVERIFY2(previous.isNull() || r.top() > previous.bottom(), name);
            previous = r;
        }
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QTRY_COMPARE(QApplication::activeWindow(), authors);

        // It stays open while the main window goes on working, and comes to the front when chosen.
        run.main()->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(run.main()));
        run.registerUser(kStudent, QStringLiteral("pw"));
        run.signIn(kStudent, QStringLiteral("pw"));
        run.trigger("N111");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel1"));
        QVERIFY(authors->isVisible());
        run.trigger("N15");
        QTRY_COMPARE(QApplication::activeWindow(), authors);
        QCOMPARE(authorsWindows(), 1);

        // Closing only hides it until the next command.
        authors->close();
        QVERIFY(!authors->isVisible());
        run.trigger("N15");
        QVERIFY(authors->isVisible());
        QCOMPARE(authorsWindows(), 1);
    }

    void catalogueDocumentsAreUtf8PagesWithTheCourseStyle() {
        const QString courseDir = QStringLiteral(ORTAVIA_SOURCE_DIR "/course");
        const QString style =
            QFileInfo(courseDir + QStringLiteral("/data/css/course.css")).canonicalFilePath();
        QVERIFY(!style.isEmpty());
        const QRegularExpression charset(QStringLiteral("<meta\\s+charset=\"utf-8\"\\s*/?>"),
                                         QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression link(
            QStringLiteral("<link\\s+rel=\"stylesheet\"\\s+href=\"([^\"]+)\"\\s*/?>"));
        for (const docs::MenuEntry* e : entriesOf(docs::Action::View)) {
            const QString path = courseDir + QString::fromLatin1(e->target).replace(QLatin1Char('\\'), '/');
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path)); // exact letter case
            const QByteArray bytes = file.readAll();
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8(bytes);
            QVERIFY2(!utf8.hasError(), qPrintable(path));
            QVERIFY2(text.startsWith(QStringLiteral("<!DOCTYPE html>")), qPrintable(path));
            const qsizetype headEnd = text.indexOf(QStringLiteral("</head>"));
            QVERIFY2(headEnd > 0, qPrintable(path));
            const QString head = text.left(headEnd);
            QVERIFY2(head.contains(charset), qPrintable(path));
            const QRegularExpressionMatch m = link.match(head);
            QVERIFY2(m.hasMatch(), qPrintable(path));
            const QFileInfo sheet(QFileInfo(path).dir(), m.captured(1));
            QCOMPARE(sheet.canonicalFilePath(), style);
        }
    }
};

ORTAVIA_TEST_MAIN(ViewerTest)
#include "test_viewer.moc"
