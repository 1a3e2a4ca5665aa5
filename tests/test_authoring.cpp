// Question authoring: Aiken, GIFT and the plain format imported with ortavia-tests, exported back
// and imported again; the refusals with their lines; installing as test N from the command line and
// from the encipher window; the answers a question lacks hidden on the test screen.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <sys/stat.h>

#include "store/codepage.h"
#include "store/error.h"
#include "store/textfile.h"
#include "support/harness.h"
#include "testing/authoring.h"
#include "ui/answer_button.h"

using namespace ortavia;
using namespace ortavia::testsupport;
namespace au = testing::authoring;

namespace {

using Run = ToolRun;

Run tool(const QStringList& args) {
    return runTool(args);
}

std::string cp8(const char* utf8) {
    return cp::fromUtf8(utf8).value();
}

// The test every format below describes: Kazakh and Russian text, two to five answers, GIFT's
// special characters in the text.
std::vector<au::Item> expectedItems() {
    return {{cp8("Қазақстанның астанасы қай қала?"), {cp8("Астана"), cp8("Алматы"), cp8("Шымкент")}, 0, 0},
            {cp8("Сколько будет 2 + 2 = ?"), {"3", "4", "5", cp8("22"), cp8("ни одно")}, 1, 0},
            {cp8("Формула {F}: сила ~ масса"), {cp8("ma"), cp8("mv: импульс")}, 0, 0},
            {cp8("Өлшем бірлігі: Ньютон"), {cp8("кг"), cp8("м/с"), cp8("Н")}, 2, 0}};
}

const char* const kPlain = "Қазақстанның астанасы қай қала?\r\n"
                           "A) Астана*\r\nB) Алматы\r\nC) Шымкент\r\n********\r\n"
                           "Сколько будет 2 + 2 = ?\r\n"
                           "A) 3\r\nB) 4*\r\nC) 5\r\nD) 22\r\nE) ни одно\r\n\r\n"
                           "Формула {F}: сила ~ масса\r\nA) ma *\r\nB) mv: импульс\r\n"
                           "Өлшем бірлігі: Ньютон\r\nA) кг\r\nB) м/с\r\nC) Н*\r\n";

const char* const kAiken = "Қазақстанның астанасы\nқай қала?\n"
                           "A. Астана\nB. Алматы\nC. Шымкент\nANSWER: A\n\n"
                           "Сколько будет 2 + 2 = ?\nA) 3\nB) 4\nC) 5\nD) 22\nE) ни одно\nANSWER: B\n\n"
                           "Формула {F}: сила ~ масса\nA. ma\nB. mv: импульс\nANSWER: A\n\n"
                           "Өлшем бірлігі: Ньютон\nA. кг\nB. м/с\nC. Н\nANSWER: C\n";

const char* const kGift = "// Физика\n$CATEGORY: $course$/Физика\n\n"
                          "::Астана::Қазақстанның астанасы қай қала? {\n=Астана\n~Алматы\n~Шымкент\n}\n\n"
                          "Сколько будет 2 + 2 \\= ? {~3 =4#Верно ~5 ~22 ~ни одно}\n\n"
                          "Формула \\{F\\}\\: сила \\~ масса {\n=ma\n~mv\\: импульс\n}\n\n"
                          "[html]Өлшем бірлігі: Ньютон {~кг ~м/с =Н}\n";

// A small picture at a place of the course folder.
void writeFigure(const CourseFolder& course, const QString& relative) {
    QImage figure(40, 20, QImage::Format_RGB32);
    figure.fill(Qt::red);
    QVERIFY(QDir().mkpath(QFileInfo(course.file(relative)).path()));
    QVERIFY(figure.save(course.file(relative)));
}

} // namespace

Q_DECLARE_METATYPE(ortavia::testing::authoring::Item)

class AuthoringTest : public QObject {
    Q_OBJECT

    static void roundTrip(const QByteArray& source, const QString& format) {
        CourseFolder folder(Contents::Nothing);
        folder.write(QStringLiteral("source.txt"), source);
        const Run first =
            tool({QStringLiteral("import"), QStringLiteral("source.txt"), QStringLiteral("a.ini")});
        QVERIFY2(first.status == 0, qPrintable(first.err));
        QVERIFY2(first.err.contains(QStringLiteral("Формат: ") + format), qPrintable(first.err));
        QCOMPARE(au::itemsOf("\\a.ini"), expectedItems());
        // Every export imports again to the same test file, byte for byte.
        for (const QString& to : {QStringLiteral("plain"), QStringLiteral("aiken"), QStringLiteral("gift")}) {
            const QString out = QStringLiteral("out.") + to;
            const Run exported = tool(
                {QStringLiteral("export"), QStringLiteral("a.ini"), out, QStringLiteral("--format"), to});
            QVERIFY2(exported.status == 0, qPrintable(exported.err));
            const Run again = tool({QStringLiteral("import"), out, QStringLiteral("b.ini")});
            QVERIFY2(again.status == 0, qPrintable(again.err + folder.read(out)));
            QVERIFY2(again.err.contains(QStringLiteral("Формат: ") + to), qPrintable(again.err));
            QCOMPARE(folder.read(QStringLiteral("b.ini")), folder.read(QStringLiteral("a.ini")));
        }
    }

    // Imports the source over an existing output: refused with each line, the output untouched.
    static void refused(const QByteArray& source, const QString& format, const QList<int>& lines) {
        CourseFolder folder(Contents::Nothing);
        folder.write(QStringLiteral("source.txt"), source);
        folder.write(QStringLiteral("out.ini"), "previous");
        const Run r = tool({QStringLiteral("import"), QStringLiteral("source.txt"), QStringLiteral("out.ini"),
                            QStringLiteral("--format"), format});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("ничего не записано")), qPrintable(r.err));
        QStringList found;
        for (const QString& l : r.err.split(QLatin1Char('\n')))
            if (l.startsWith(QStringLiteral("строка ")))
                found << l.section(QLatin1Char(':'), 0, 0);
        QStringList want;
        for (int l : lines)
            want << QStringLiteral("строка %1").arg(l);
        QCOMPARE(found, want);
        QCOMPARE(folder.read(QStringLiteral("out.ini")), QByteArray("previous"));
    }

private slots:
    void cleanup() { ui::dialogs::resetTestState(); }

    void roundTrips_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("format");
        QTest::newRow("plain UTF-8") << QByteArray(kPlain) << QStringLiteral("plain");
        QTest::newRow("plain code page") << QByteArray::fromStdString(cp8(kPlain)) << QStringLiteral("plain");
        QTest::newRow("aiken UTF-8 with mark")
            << "\xEF\xBB\xBF" + QByteArray(kAiken) << QStringLiteral("aiken");
        QTest::newRow("gift UTF-8") << QByteArray(kGift) << QStringLiteral("gift");
    }
    void roundTrips() {
        QVERIFY2(QFile::exists(kTool), "ortavia-tests is not built");
        QFETCH(QByteArray, source);
        QFETCH(QString, format);
        roundTrip(source, format);
    }

    void refusalsNameTheirLines_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QList<int>>("lines");
        QTest::newRow("plain") << QByteArray("A) early*\n"
                                             "Q1\nA) a\nC) c*\n"  // out of order: line 4
                                             "Q2\nA) a\nB) b\n"   // no marker: line 5
                                             "Q3\nA) a*\nB) b*\n" // two markers: line 8
                                             "Q4\nA) a*\n"        // one answer: line 11
                                             "Q5\nA) a\nB) b*\n")
                               << QStringLiteral("plain") << QList<int>{1, 4, 5, 8, 11};
        QTest::newRow("aiken") << QByteArray("Q1\nA. a\nB. b\nC. c\nD. d\nE. e\nF. f\nANSWER: A\n\n" // 1
                                             "Q2\nA. a\nB. b\nANSWER: A, B\n\n"                      // 13
                                             "Q3\nA. a\nB. b\nANSWER: C\n\n"                         // 18
                                             "Q4\nA. a\nC. c\nANSWER: A\n\n"                         // 22
                                             "Q5\nA. a\nB. b\nANSWER: B\n\n"
                                             "Q6\nA. a\nB. b\n") // no ANSWER: 30
                               << QStringLiteral("aiken") << QList<int>{1, 13, 18, 22, 30};
        QTest::newRow("gift") << QByteArray("Numeric {#5:1}\n\n"                  // 1
                                            "Match {=a -> 1 =b -> 2 =c -> 3}\n\n" // 3
                                            "Short {=x =y}\n\n"                   // 5
                                            "Truth {T}\n\n"                       // 7
                                            "Several {=a =b ~c}\n\n"              // 9
                                            "Six {=1 ~2 ~3 ~4 ~5 ~6}\n\n"         // 11
                                            "Partial {=a ~%50%b ~c}\n\n"          // 13
                                            "Essay {}\n\n"                        // 15
                                            "Good {=a ~b}\n\n"
                                            "// comment\nNo answers at all\n\n" // 20
                                            "Empty answer {=a ~}\n")            // 22
                              << QStringLiteral("gift") << QList<int>{1, 3, 5, 7, 9, 11, 13, 15, 20, 22};
        // A "}" left out, and questions without the blank line between them: never merged.
        QTest::newRow("gift merged") << QByteArray("Q1 {~a ~b\n\n"              // 1: "{" not closed
                                                   "Q2 {=c ~d}\n\n"             // 3: read on its own
                                                   "Q3 {=e ~f}\nQ4 {=g ~h}\n\n" // 5
                                                   "::T1:: Описание\n::T2:: Q5 {=i ~j}\n") // 8
                                     << QStringLiteral("gift") << QList<int>{1, 5, 8};
    }
    void refusalsNameTheirLines() {
        QFETCH(QByteArray, source);
        QFETCH(QString, format);
        QFETCH(QList<int>, lines);
        refused(source, format, lines);
    }

    // What Moodle and GIFT editors write: categories, arrows outside matching questions, format tags,
    // HTML; and Aiken's "A)text".
    void importedAsWritten_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("format");
        QTest::addColumn<au::Item>("item");
        const auto item = [](const char* text, std::vector<std::string> answers, int right) {
            for (std::string& a : answers)
                a = cp8(a.c_str());
            return au::Item{cp8(text), answers, right, 0};
        };
        QTest::newRow("category right before") << QByteArray("$CATEGORY: $course$/Физика\nQ {=a ~b}\n")
                                               << QStringLiteral("gift") << item("Q", {"a", "b"}, 0);
        QTest::newRow("arrow in an answer")
            << QByteArray("Q {~a =b -> c}") << QStringLiteral("gift") << item("Q", {"a", "b -> c"}, 1);
        QTest::newRow("arrow in feedback, HTML comment")
            << QByteArray("Q {=a#x -> y ~b#<!-- id 7 -->}") << QStringLiteral("gift")
            << item("Q", {"a", "b"}, 0);
        QTest::newRow("format tags") << QByteArray(
                                            "::t::[markdown]Сила *F* {=[plain]a ~[moodle]b ~[markdown]c}")
                                     << QStringLiteral("gift") << item("Сила *F*", {"a", "b", "c"}, 0);
        QTest::newRow("html") << QByteArray(
                                     "::t:: [html]<p>Сила &amp; <b>масса</b></p><!-- x -->\n<p>F&lt;1?</p> "
                                     "{=&\\#1025;ж ~x&nbsp;<i>y</i>&raquo; ~[plain]&amp;}")
                              << QStringLiteral("gift")
                              << item("Сила & масса F<1?", {"Ёж", "x y»", "&amp;"}, 0);
        QTest::newRow("aiken A)text")
            << QByteArray("Q\nA)a\nB)b\nANSWER: B\n") << QStringLiteral("aiken") << item("Q", {"a", "b"}, 1);
    }
    void importedAsWritten() {
        QFETCH(QByteArray, source);
        QFETCH(QString, format);
        QFETCH(au::Item, item);
        const au::Parsed p =
            au::parse(au::decodeSource(source.toStdString()), *au::formatNamed(format.toStdString()));
        QVERIFY2(p.refusals.empty(), p.refusals.empty() ? "" : p.refusals[0].text.c_str());
        QCOMPARE(p.items, std::vector<au::Item>{item});
    }

    // An arrow is text in a GIFT export; a leading format tag would be read as one, so it is refused.
    void giftExport() {
        const au::Item arrow{"Q", {"a -> b", "c"}, 0, 0};
        const std::string text = au::exportText({arrow}, au::Format::Gift);
        QCOMPARE(au::parse(au::decodeSource(text), au::Format::Gift).items, std::vector<au::Item>{arrow});
        for (const au::Item& tagged :
             {au::Item{"[html]Q", {"a", "b"}, 0, 0}, au::Item{"Q", {"a", "[plain]b"}, 0, 0}})
            QVERIFY_THROWS_EXCEPTION(Error, au::exportText({tagged}, au::Format::Gift));
    }

    // Windows-1251 with Ukrainian or Belarusian letters is refused naming them; Kazakh text with the
    // same bytes is read. (The course code page's "ү" has the byte of Windows-1251's "ї", so cp8 of
    // "үжак" gives the Windows-1251 bytes of "їжак".)
    void ukrainianLettersTold() {
        const std::string ukrainian = cp8("Що таке үжак?\nA) тварина*\nB) рослина\nC) гриб ғ Ұ*\n");
        try {
            au::decodeSource(ukrainian);
            QFAIL("accepted");
        } catch (const Error& e) {
            const QString why = QString::fromUtf8(e.what());
            QVERIFY2(why.contains(QStringLiteral("строка 1: «ї»; строка 4: «Ў», «є»")), qPrintable(why));
            QVERIFY2(why.contains(QStringLiteral("ї → ү")) && why.contains(QStringLiteral("UTF-8")),
                     qPrintable(why));
        }
        const std::string kazakh = cp8("Күн жүйесі қандай?\nA) Ұлы*\nB) Өте\n");
        QCOMPARE(au::decodeSource(kazakh),
                 (std::vector<std::string>{cp8("Күн жүйесі қандай?"), cp8("A) Ұлы*"), cp8("B) Өте")}));
        QCOMPARE(au::decodeSource("Latin \xBF\n").size(), size_t(1)); // no Cyrillic beside it
    }

    void encodingRefusals() {
        CourseFolder folder(Contents::Nothing);
        folder.write(QStringLiteral("out.ini"), "previous");
        folder.write(QStringLiteral("star.txt"), QByteArray("Q1\nA. a\nB. Ш ✓ b\nANSWER: A\n"));
        Run r = tool({QStringLiteral("import"), QStringLiteral("star.txt"), QStringLiteral("out.ini")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Строка 3, позиция 6")), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("U+2713")));
        // UTF-16 without its mark: NUL bytes.
        QByteArray u16;
        for (char c : QByteArray("Q\n{=a ~b}\n"))
            u16.append(c).append('\0');
        folder.write(QStringLiteral("u16.txt"), u16);
        r = tool({QStringLiteral("import"), QStringLiteral("u16.txt"), QStringLiteral("out.ini")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Строка 1 содержит нулевые байты")), qPrintable(r.err));
        QCOMPARE(folder.read(QStringLiteral("out.ini")), QByteArray("previous"));
        // UTF-16 with its mark is read.
        QByteArray marked("\xFF\xFE");
        for (QChar c : QStringLiteral("Сұрақ?\r\n{=иә ~жоқ}\r\n"))
            marked.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        folder.write(QStringLiteral("marked.txt"), marked);
        r = tool({QStringLiteral("import"), QStringLiteral("marked.txt"), QStringLiteral("out.ini")});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const std::vector<au::Item> items = au::itemsOf("\\out.ini");
        QCOMPARE(items.size(), size_t(1));
        QCOMPARE(items[0].answers[1], cp8("жоқ"));
    }

    void badCalls() {
        CourseFolder folder(Contents::Nothing);
        folder.write(QStringLiteral("s.txt"), kGift);
        for (const QStringList& args :
             {QStringList{QStringLiteral("import"), QStringLiteral("s.txt")},
              QStringList{QStringLiteral("import"), QStringLiteral("s.txt"), QStringLiteral("o.ini"),
                          QStringLiteral("--format"), QStringLiteral("xml")},
              QStringList{QStringLiteral("export"), QStringLiteral("o.ini"), QStringLiteral("o.txt")},
              QStringList{QStringLiteral("install"), QStringLiteral("s.txt"), QStringLiteral("11")},
              QStringList{QStringLiteral("install"), QStringLiteral("s.txt"), QStringLiteral("1"),
                          QStringLiteral("--cours"), QStringLiteral(".")}}) {
            const Run r = tool(args);
            QVERIFY2(r.status == 2, qPrintable(args.join(QLatin1Char(' '))));
            QVERIFY(!folder.exists(QStringLiteral("o.ini")));
        }
        const Run help = tool({QStringLiteral("--help")});
        QVERIFY(help.out.contains(QStringLiteral("ortavia-tests import")));
        QVERIFY(help.out.contains(QStringLiteral("строже")));
    }

    void installFromTheCommandLine() {
        CourseFolder course;
        course.write(QStringLiteral("q.gift"), kGift);
        const QByteArray previous = course.read(QStringLiteral("data/tests/test3.ini"));
        QVERIFY(!previous.isEmpty());
        const Run r = tool({QStringLiteral("install"), course.file(QStringLiteral("q.gift")),
                            QStringLiteral("3"), QStringLiteral("--course"), course.path()});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("test3.ini.bak")));
        QCOMPARE(course.read(QStringLiteral("data/tests/test3.ini.bak")), previous);
        QCOMPARE(au::itemsOf("\\data\\tests\\test3.ini"), expectedItems());
        // Not a course folder: refused.
        const Run bad =
            tool({QStringLiteral("install"), course.file(QStringLiteral("q.gift")), QStringLiteral("3"),
                  QStringLiteral("--course"), course.file(QStringLiteral("data"))});
        QCOMPARE(bad.status, 1);
        QVERIFY2(bad.err.contains(QStringLiteral("нет папки data/tests")), qPrintable(bad.err));
    }

    // As root into a course folder students can write: the backup keeps the test's permissions and
    // leaves no lock of its own; links planted in either place that lead out of the course are refused.
    void installKeepsTheBackupPrivateAndRefusesLinksOut() {
        CourseFolder course;
        course.write(QStringLiteral("q.gift"), kGift);
        course.write(QStringLiteral("victim"), "victim");
        const auto install = [&](const char* n) {
            return tool({QStringLiteral("install"), course.file(QStringLiteral("q.gift")), QLatin1String(n),
                         QStringLiteral("--course"), course.path()});
        };
        const QString test3 = course.file(QStringLiteral("data/tests/test3.ini"));
        QVERIFY(QFile::setPermissions(test3, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::WriteGroup));
        const mode_t oldMask = umask(022);
        const Run r = install("3");
        umask(oldMask);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(QFileInfo(test3 + QStringLiteral(".bak")).permissions(), QFileInfo(test3).permissions());
        QVERIFY(!QFile::exists(test3 + QStringLiteral(".bak.lock")));

        QTemporaryDir elsewhere;
        QVERIFY(QFile(elsewhere.filePath(QStringLiteral("v"))).open(QIODevice::WriteOnly));
        QVERIFY(QFile::remove(course.file(QStringLiteral("data/tests/test1.ini"))));
        QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("v")),
                            course.file(QStringLiteral("data/tests/test1.ini"))));
        QVERIFY(QFile::link(elsewhere.filePath(QStringLiteral("v")),
                            course.file(QStringLiteral("data/tests/test2.ini.bak"))));
        const QByteArray test2 = course.read(QStringLiteral("data/tests/test2.ini"));
        for (const char* n : {"1", "2"}) {
            const Run refused = install(n);
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.err.contains(QStringLiteral("символическая ссылка")), qPrintable(refused.err));
        }
        QCOMPARE(QFileInfo(elsewhere.filePath(QStringLiteral("v"))).size(), 0);
        QCOMPARE(course.read(QStringLiteral("data/tests/test2.ini")), test2);
        // A link that stays in the course works as before.
        QVERIFY(QFile::remove(course.file(QStringLiteral("data/tests/test1.ini"))));
        QVERIFY(
            QFile::link(QStringLiteral("../../victim"), course.file(QStringLiteral("data/tests/test1.ini"))));
        QCOMPARE(install("1").status, 0);
        QVERIFY(QFileInfo(course.file(QStringLiteral("data/tests/test1.ini"))).isSymLink());
        QCOMPARE(course.read(QStringLiteral("data/tests/test1.ini.bak")), QByteArray("victim"));
    }

    // The tool's messages name the file and say why in Russian, never the library's English.
    void toolFailuresAreToldInRussian() {
        CourseFolder course;
        course.write(QStringLiteral("q.gift"), kGift);
        QVERIFY(::mkfifo(course.file(QStringLiteral("fifo.ini")).toLocal8Bit().constData(), 0666) == 0);
        const QString test4 = course.file(QStringLiteral("data/tests/test4.ini"));
        QVERIFY(QFile::setPermissions(test4, QFileDevice::ReadOwner));
        const QString fifo = course.file(QStringLiteral("fifo.ini"));
        const QList<QPair<QStringList, QString>> cases = {
            {{QStringLiteral("check"), fifo}, fifo},
            {{QStringLiteral("show"), fifo}, fifo},
            {{QStringLiteral("export"), fifo, course.file(QStringLiteral("o.txt")),
              QStringLiteral("--format"), QStringLiteral("gift")},
             fifo},
            {{QStringLiteral("install"), course.file(QStringLiteral("q.gift")), QStringLiteral("4"),
              QStringLiteral("--course"), course.path()},
             test4},
        };
        for (const auto& [args, named] : cases) {
            const Run r = tool(args);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(named) && !r.err.contains(QStringLiteral("Unknown error")) &&
                         !r.err.contains(QStringLiteral("Unable to write")) &&
                         (r.err.contains(QStringLiteral("не обычный файл")) ||
                          r.err.contains(QStringLiteral("нет прав"))),
                     qPrintable(r.err));
        }
    }

    // The window converts a plain source and puts it in place as test N of the course it was
    // opened in; the previous file is kept beside it.
    void windowInstallsIntoTheCourse() {
        CourseFolder course;
        course.write(QStringLiteral("sources/q.txt"), kPlain);
        const QByteArray previous = course.read(QStringLiteral("data/tests/test7.ini"));
        Running run;
        run.signInAdmin();
        ui::TForm2* tool = run.program.form2.get();
        bool ran = false;
        QTimer::singleShot(0, tool, [&] {
            ran = true;
            auto* install = ui::findComponentAs<QCheckBox>(tool, QStringLiteral("CheckBox1"));
            auto* number = ui::findComponentAs<QSpinBox>(tool, QStringLiteral("SpinEdit1"));
            QVERIFY(install && number);
            QVERIFY(!number->isEnabled());
            install->setChecked(true);
            QVERIFY(number->isEnabled());
            number->setValue(7);
            ui::dialogs::answerNextOpenFile(course.file(QStringLiteral("sources/q.txt")));
            QTest::mouseClick(ui::findComponentAs<QLineEdit>(tool, QStringLiteral("Edit10")), Qt::LeftButton);
            ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button1"))->click();
            QCOMPARE(boxCount(), 1);
            QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Information);
            QVERIFY2(lastBoxText().contains(course.file(QStringLiteral("data/tests/test7.ini"))),
                     qPrintable(lastBoxText()));
            QVERIFY2(lastBoxText().contains(QStringLiteral("test7.ini.bak")), qPrintable(lastBoxText()));
            ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button2"))->click();
        });
        run.trigger("nred");
        QVERIFY(ran);
        QCOMPARE(course.read(QStringLiteral("data/tests/test7.ini.bak")), previous);
        QVERIFY(!course.exists(QStringLiteral("sources/Test7.ini")));
        // The encipher rules: answers with their prefixes, the marked one ending in a blank.
        encipherCheck(course);
    }

    // The answers a question lacks are neither shown nor lettered on the test screen.
    void emptyAnswersAreHidden() {
        CourseFolder course;
        const std::vector<au::Item> items = expectedItems();
        au::install(course.file(QStringLiteral("data/tests/test1.ini")).toStdString(),
                    au::testFileContent(items));
        Running run;
        run.registerUser(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        run.signIn(QStringLiteral("Айгүл"), QStringLiteral("pw"));
        ui::dialogs::resetTestState();
        run.trigger("test1");
        QCOMPARE(run.visibleScreen(), QStringLiteral("Panel3"));
        // 1: the answer and its letter shown, 0: both hidden, -1: one without the other.
        const auto shown = [&](int k) -> int {
            auto* button = run.control<ui::AnswerButton>(qPrintable(QStringLiteral("RadioButton%1").arg(k)));
            int letters = 0;
            bool letter = false;
            for (QLabel* l : button->parentWidget()->findChildren<QLabel*>())
                if (l->buddy() == button && l->text() == QString(QLatin1Char(char('A' + k - 1)))) {
                    ++letters;
                    letter = l->isVisibleTo(run.main());
                }
            if (letters != 1 || button->isVisibleTo(run.main()) != letter)
                return -1;
            return letter ? 1 : 0;
        };
        QList<int> first;
        for (int k = 1; k <= 5; ++k)
            first << shown(k);
        QCOMPARE(first, (QList<int>{1, 1, 1, 0, 0}));
        run.answer(1);
        for (int k = 1; k <= 5; ++k)
            QVERIFY2(shown(k) == 1, qPrintable(QString::number(k))); // five answers: all shown again
        run.answer(2);
        QCOMPARE((QList<int>{shown(1), shown(2), shown(3)}), (QList<int>{1, 1, 0}));
    }

private:
    static void encipherCheck(const CourseFolder& course) {
        testing::encipher::TestFile f;
        QVERIFY(QDir::setCurrent(course.path()));
        QVERIFY(testing::encipher::checkFile("\\data\\tests\\test7.ini", &f).empty());
        QCOMPARE(f.count, 4);
        QCOMPARE(f.questions[0].answers[0], cp8("A) Астана "));
        QCOMPARE(f.questions[3].text, cp8("Өлшем бірлігі: Ньютон"));
    }

    // Physics written in Unicode: what the code page lacks becomes the notation on import, and the
    // exports write it in Unicode again (each import of an export gives the same file).
    void physicsInUnicodeImportsAsTheNotation_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("format");
        QTest::newRow("gift") << QByteArray("::v::Скорость при g = 9,8 м/с² и λ = 2 м? {=v = √2gh ~μ₀H²/2 "
                                            "~F⃗₁₂ = −F⃗₂₁ ~\\{a\\} \\{b\\} ~ωt + φ₀}\n")
                              << QStringLiteral("gift");
        QTest::newRow("aiken") << QByteArray("Скорость при g = 9,8 м/с² и λ = 2 м?\nA. v = √2gh\nB. μ₀H²/2\n"
                                             "C. F⃗₁₂ = −F⃗₂₁\nD. {a} {b}\nE. ωt + φ₀\nANSWER: A\n")
                               << QStringLiteral("aiken");
    }
    void physicsInUnicodeImportsAsTheNotation() {
        QFETCH(QByteArray, source);
        QFETCH(QString, format);
        CourseFolder folder(Contents::Nothing);
        folder.write(QStringLiteral("physics.txt"), source);
        const Run r =
            tool({QStringLiteral("import"), QStringLiteral("physics.txt"), QStringLiteral("a.ini")});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const std::vector<au::Item> items = au::itemsOf("\\a.ini");
        QCOMPARE(items.size(), std::size_t(1));
        QCOMPARE(items[0].text, cp8("Скорость при g = 9,8 м/с^2 и \\lambda = 2 м?"));
        const std::vector<std::string> answers{cp8("v = \\sqrt{2gh}"), cp8("\\mu_0H^2/2"),
                                               cp8("\\vec{F}_12 = -\\vec{F}_21"), cp8("{a} {b}"),
                                               cp8("\\omega{}t + \\phi_0")};
        QCOMPARE(items[0].answers, answers);
        for (const QString& to : {QStringLiteral("plain"), QStringLiteral("aiken"), QStringLiteral("gift")}) {
            const QString out = QStringLiteral("out.") + to;
            QCOMPARE(
                tool({QStringLiteral("export"), QStringLiteral("a.ini"), out, QStringLiteral("--format"), to})
                    .status,
                0);
            const QString text = QString::fromUtf8(folder.read(out));
            QVERIFY2(text.contains(QStringLiteral("м/с² и λ = 2 м")) &&
                         text.contains(QStringLiteral("μ₀H²/2")) && text.contains(QStringLiteral("v = √2gh")),
                     qPrintable(text));
            const Run again = tool({QStringLiteral("import"), out, QStringLiteral("b.ini")});
            QVERIFY2(again.status == 0, qPrintable(again.err));
            QCOMPARE(folder.read(QStringLiteral("b.ini")), folder.read(QStringLiteral("a.ini")));
        }
        // Only what neither the code page nor the notation holds is refused, at its own column.
        folder.write(QStringLiteral("snow.txt"), QByteArray("Q\nA. λ² ☃\nB. b\nANSWER: A\n"));
        const Run snow =
            tool({QStringLiteral("import"), QStringLiteral("snow.txt"), QStringLiteral("c.ini")});
        QCOMPARE(snow.status, 1);
        QVERIFY2(snow.err.contains(QStringLiteral("Строка 2, позиция 7")), qPrintable(snow.err));
    }

    // Install copies the figures a test names from beside its source into data/tests/img; a name
    // with a folder part, or a figure that is nowhere, installs nothing.
    void installCopiesTheFigures() {
        CourseFolder course;
        writeFigure(course, QStringLiteral("sources/Схема.png"));
        const QByteArray previous = course.read(QStringLiteral("data/tests/test4.ini"));
        const auto install = [&](const char* question) {
            course.write(QStringLiteral("sources/q.txt"), QByteArray(question) + "\nA) R\nB) 2R*\n");
            return tool({QStringLiteral("install"), course.file(QStringLiteral("sources/q.txt")),
                         QStringLiteral("4"), QStringLiteral("--course"), course.path()});
        };
        for (const char* bad :
             {"Схема \\img{../Схема.png}", "Схема \\img{sub/Схема.png}", "Схема \\img{нет.png}"}) {
            const Run r = install(bad);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(QStringLiteral("Тест не установлен")), qPrintable(r.err));
            QCOMPARE(course.read(QStringLiteral("data/tests/test4.ini")), previous);
        }
        const Run r = install("Сопротивление цепи \\img{Схема.png}:");
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(course.read(QStringLiteral("data/tests/img/Схема.png")),
                 course.read(QStringLiteral("sources/Схема.png")));
        // The test now names a figure the course holds: check is content, show reads it as text.
        const Run check =
            tool({QStringLiteral("check"), course.file(QStringLiteral("data/tests/test4.ini"))});
        QVERIFY2(check.status == 0, qPrintable(check.out));
        const Run show = tool({QStringLiteral("show"), course.file(QStringLiteral("data/tests/test4.ini"))});
        QVERIFY2(show.out.contains(QStringLiteral("Сопротивление цепи [рисунок: Схема.png]:")),
                 qPrintable(show.out));
    }

    // check names what the notation cannot read, with question, answer and position; show writes
    // the formulas in Unicode.
    void checkNamesNotationProblems() {
        CourseFolder folder(Contents::Nothing);
        const std::vector<au::Item> items{
            {cp8("B^2 и \\mu_0 \\img{fig.png}"), {cp8("x^{2"), cp8("\\foo b")}, 1, 0}};
        folder.write(QStringLiteral("t.ini"), QByteArray::fromStdString(au::testFileContent(items)));
        const Run check = tool({QStringLiteral("check"), QStringLiteral("t.ini")});
        QCOMPARE(check.status, 1);
        for (const QString& line :
             {QStringLiteral("вопрос 1: рисунка «fig.png» нет"),
              QStringLiteral("вопрос 1, ответ A, позиция 2: открывающая скобка «{» не закрыта"),
              QStringLiteral("вопрос 1, ответ B, позиция 1: неизвестная команда «\\foo»")})
            QVERIFY2(check.out.contains(line), qPrintable(check.out));
        const Run show = tool({QStringLiteral("show"), QStringLiteral("t.ini")});
        QVERIFY2(show.out.contains(QStringLiteral("B² и μ₀ [рисунок: fig.png]")), qPrintable(show.out));
        QVERIFY2(show.out.contains(QStringLiteral("  * B) \\foo b")), qPrintable(show.out));
    }

    // The encipher window's install copies the figures too.
    void windowInstallCopiesTheFigures() {
        CourseFolder course;
        writeFigure(course, QStringLiteral("sources/graph.png"));
        course.write(QStringLiteral("sources/q.txt"),
                     "Path by the graph \\img{graph.png}\r\nA) 8 m\r\nB) 16 m*\r\n");
        Running run;
        run.signInAdmin();
        ui::TForm2* tool = run.program.form2.get();
        QTimer::singleShot(0, tool, [&] {
            ui::findComponentAs<QCheckBox>(tool, QStringLiteral("CheckBox1"))->setChecked(true);
            ui::findComponentAs<QSpinBox>(tool, QStringLiteral("SpinEdit1"))->setValue(2);
            ui::dialogs::answerNextOpenFile(course.file(QStringLiteral("sources/q.txt")));
            QTest::mouseClick(ui::findComponentAs<QLineEdit>(tool, QStringLiteral("Edit10")), Qt::LeftButton);
            ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button1"))->click();
            // The preview shows the question typeset, its figure too.
            const QString preview =
                ui::findComponentAs<QTextEdit>(tool, QStringLiteral("MemoPreview"))->toHtml();
            QVERIFY2(preview.contains(QStringLiteral("<img src=")) &&
                         preview.contains(QStringLiteral("✓ B) 16 m")),
                     qPrintable(preview));
            ui::findComponentAs<QPushButton>(tool, QStringLiteral("Button2"))->click();
        });
        run.trigger("nred");
        QCOMPARE(ui::dialogs::shownBoxes().back().kind, ui::BoxKind::Information);
        QCOMPARE(course.read(QStringLiteral("data/tests/img/graph.png")),
                 course.read(QStringLiteral("sources/graph.png")));
    }
};

ORTAVIA_TEST_MAIN(AuthoringTest)
#include "test_authoring.moc"
