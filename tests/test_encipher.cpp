// The test encipher tool's conversion: the source line rules, the working values carried from
// question to question and across conversions, the refusals, the atomic output write and its
// equivalence with the one-by-one writes, and the reading back of a test file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <random>
#include <sys/stat.h>

#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/store.h"
#include "store/textfile.h"
#include "support/harness.h"
#include "testing/encipher.h"

using namespace ortavia;
namespace enc = testing::encipher;

using ortavia::testsupport::Contents;
using ortavia::testsupport::CourseFolder;

namespace {

std::string cpt(const char* utf8) {
    return cp::fromUtf8(utf8).value();
}

std::vector<std::string> lines(std::initializer_list<const char*> utf8) {
    std::vector<std::string> out;
    for (const char* l : utf8)
        out.push_back(cpt(l));
    return out;
}

// The code page name of a file of the current directory.
std::string cpFile(const char* name) {
    return fsys::currentDirectory() + "/" + name;
}

QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// The content the one-by-one writes give, applied to content as the store's writes do.
std::string foldOneByOne(std::string content, const std::vector<enc::Write>& writes) {
    for (const enc::Write& w : writes)
        content = ini::writeInto(content, w.section, w.key, store::crypt(w.value));
    return content;
}

// A source of five-answer questions with the given right letters.
std::vector<std::string> simpleSource(const std::string& letters, bool separators = true) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        out.push_back("Question " + std::to_string(i + 1) + "?");
        for (char c = 'A'; c <= 'E'; ++c)
            out.push_back(std::string(1, c) + ") answer " + c + std::to_string(i + 1) +
                          (c == letters[i] ? "*" : ""));
        if (separators)
            out.push_back(std::string(enc::kSeparator));
    }
    return out;
}

std::string plainValue(const std::string& section, const char* key) {
    return store::read(section, key, "\\T.ini");
}

} // namespace

class EncipherTest : public QObject {
    Q_OBJECT
private slots:
    void lineKinds() {
        using K = enc::LineKind;
        QCOMPARE(enc::kindOf(""), K::Empty);
        QCOMPARE(enc::kindOf("A) yes"), K::Answer);
        QCOMPARE(enc::kindOf("E)"), K::Answer);
        QCOMPARE(enc::kindOf("F) no"), K::Question);
        QCOMPARE(enc::kindOf("a) lower case"), K::Question);
        QCOMPARE(enc::kindOf(cpt("А) кириллица")), K::Question); // Cyrillic capital A
        QCOMPARE(enc::kindOf("A"), K::Question);
        QCOMPARE(enc::kindOf("A ) blank"), K::Question);
        QCOMPARE(enc::kindOf("********"), K::Separator);
        QCOMPARE(enc::kindOf("*********"), K::Question);
        QCOMPARE(enc::kindOf("******** "), K::Question);
        QCOMPARE(enc::kindOf(" "), K::Question);
    }

    void everyQuestionIsWrittenAndAsked() {
        enc::Working w;
        const enc::Result r = enc::convert(simpleSource("BDAEC"), w);
        QCOMPARE(r.questions, 5);
        QCOMPARE(r.sections.size(), std::size_t(5));
        const std::vector<enc::Write> writes = enc::batchWrites(r);
        QCOMPARE(writes.back(), (enc::Write{"inf", "vsego", "5"})); // the number of question lines
        QCOMPARE(r.sections[4][0], std::string("Question 5?"));
        QCOMPARE(r.sections[4][6], std::string("3"));
        QCOMPARE(r.sections[0][6], std::string("2"));
        QCOMPARE(w.number, std::string("5"));
        QVERIFY(r.notes.empty());
    }

    void starredAnswerBecomesBlankAndSetsTheDigit() {
        enc::Working w;
        const enc::Result r = enc::convert(lines({"Q", "A) a", "B) b", "C) c*", "D) d", "E) e"}), w);
        QCOMPARE(r.sections[0][3], std::string("C) c ")); // a3, the star shown as a blank
        QCOMPARE(r.sections[0][6], std::string("3"));
        QCOMPARE(w.answers[2], std::string("C) c "));
    }

    void missingAnswerKeepsThePreviousQuestions() {
        enc::Working w;
        const enc::Result r = enc::convert(lines({"Q1", "A) a1", "B) b1*", "C) c1", "D) d1", "E) e1", "Q2",
                                                  "A) a2*", "B) b2", "C) c2", "D) d2"}),
                                           w);
        QCOMPARE(r.sections[1][5], std::string("E) e1")); // a5 of question 2
        QCOMPARE(r.sections[1][6], std::string("1"));
        QCOMPARE(r.notes.size(), std::size_t(1));
        QVERIFY(r.notes[0].text.find("E)") != std::string::npos);
        QCOMPARE(r.notes[0].line, 7);
    }

    void missingMarkerKeepsThePreviousDigit() {
        enc::Working w;
        const enc::Result r = enc::convert(lines({"Q1", "A) a", "B) b", "C) c", "D) d*", "E) e", "Q2", "A) a",
                                                  "B) b", "C) c", "D) d", "E) e"}),
                                           w);
        QCOMPARE(r.sections[1][6], std::string("4"));
        QCOMPARE(r.notes.size(), std::size_t(1));
    }

    void emptyLinesAndSeparatorsChangeNothing() {
        enc::Working w1, w2;
        std::vector<std::string> plain = simpleSource("ABCDE", false);
        std::vector<std::string> padded;
        for (const std::string& l : plain) {
            padded.push_back("");
            padded.push_back(l);
            padded.push_back(std::string(enc::kSeparator));
        }
        const enc::Result a = enc::convert(plain, w1);
        const enc::Result b = enc::convert(padded, w2);
        QCOMPARE(a.sections, b.sections);
        QCOMPARE(w1, w2);
        QCOMPARE(b.questions, 5);
    }

    void starBeforeATrailingBlankIsNoMarker() {
        enc::Working w;
        w.right = "5";
        const enc::Result r = enc::convert(lines({"Q", "A) a* ", "B) b", "C) c", "D) d", "E) e"}), w);
        QCOMPARE(r.sections[0][1], std::string("A) a* "));
        QCOMPARE(r.sections[0][6], std::string("5"));
        QVERIFY(!r.notes.empty());
    }

    void prefixesAreLatinCapitals() {
        enc::Working w;
        const enc::Result r = enc::convert(lines({"Q", "a) lower*", "А) кириллица"}), w);
        QCOMPARE(r.questions, 3);
        QCOMPARE(r.sections[1][0], std::string("a) lower*"));
        QCOMPARE(r.sections[2][0], cpt("А) кириллица"));
        QCOMPARE(w.right, std::string()); // "a" is no answer letter
    }

    void starredQuestionLineKeepsItsStar() {
        enc::Working w;
        const enc::Result r = enc::convert(lines({"Because?*", "A) a", "Bold question*"}), w);
        QCOMPARE(r.sections[0][0], std::string("Because?*"));
        QCOMPARE(r.sections[0][6], std::string("2")); // the first character "B" sets the digit
        QCOMPARE(r.sections[1][0], std::string("Bold question*"));
    }

    void linesBeforeTheFirstQuestionWriteNothing() {
        enc::Working w;
        w.number = "7"; // left by an earlier conversion
        const std::vector<std::string> src =
            lines({"", "E) early*", "********", "Q", "A) a", "B) b", "C) c", "D) d"});
        enc::Working copy = w;
        const std::vector<enc::Write> seq = enc::writeSequence(src, copy);
        for (const enc::Write& wr : seq)
            QVERIFY(wr.section != "7");
        QCOMPARE(seq.size(), std::size_t(5 * 7 + 1)); // lines 4 ... 8
        QCOMPARE(seq.front().section, std::string("1"));
        const enc::Result r = enc::convert(src, w);
        QCOMPARE(r.sections[0][5], std::string("E) early ")); // the early answer goes to question 1
        QCOMPARE(r.sections[0][6], std::string("5"));
        QVERIFY(r.notes.front().text.find("до первого вопроса") != std::string::npos);
    }

    void workingValuesCarryAcrossConversions() {
        CourseFolder folder(Contents::Nothing);
        textfile::replace(cpFile("one.txt"), textfile::joinLines(simpleSource("D")));
        textfile::replace(cpFile("two.txt"),
                          textfile::joinLines(lines({"Second", "A) a2", "B) b2", "C) c2", "D) d2"})));
        enc::Working w;
        enc::encipherFile(cpFile("one.txt"), "T", w);
        const enc::Outcome o = enc::encipherFile(cpFile("two.txt"), "T", w);
        QCOMPARE(o.result.questions, 1);
        QCOMPARE(plainValue("1", "q"), std::string("Second"));
        QCOMPARE(plainValue("1", "a5"), std::string("E) answer E1"));
        QCOMPARE(plainValue("1", "ap"), std::string("4"));
        QCOMPARE(w.question, std::string("Second"));
    }

    void existingFileIsUpdatedInPlace() {
        CourseFolder folder(Contents::Nothing);
        textfile::replace(cpFile("long.txt"), textfile::joinLines(simpleSource("ABCDE")));
        textfile::replace(cpFile("short.txt"), textfile::joinLines(simpleSource("EE")));
        enc::Working w;
        enc::encipherFile(cpFile("long.txt"), "T", w);
        enc::encipherFile(cpFile("short.txt"), "T", w);
        QCOMPARE(plainValue("inf", "vsego"), std::string("2"));
        QCOMPARE(plainValue("2", "ap"), std::string("5"));
        QCOMPARE(plainValue("3", "ap"), std::string("3")); // older sections remain, never asked
        QVERIFY(enc::checkFile("\\T.ini").empty());
    }

    // The batch gives exactly the bytes of the one-by-one writes: on real files, and for many
    // random sources over many starting contents.
    void batchEqualsOneByOneOnFiles() {
        CourseFolder folder(Contents::Nothing);
        const std::vector<std::string> src =
            lines({"E) before*", "", "Первый вопрос*", "A) а", "B) б*", "********", "C) в", "", "Второй",
                   "A) x*", "D) y", "E) z", "Третий", "B) q", "B) r*"});
        const std::string old =
            "; comment\r\n[3]\r\nQ=old\r\nextra=1\r\n[inf]\r\nvsego=9\r\n[1]\r\nap=?\r\n[9]\r\nq=z";
        for (bool existing : {false, true}) {
            if (existing) {
                folder.write("A.ini", bytes(old));
                folder.write("B.ini", bytes(old));
            }
            enc::Working wa, wb;
            wa.answers[4] = wb.answers[4] = "E) carried";
            enc::writeOneByOne(enc::writeSequence(src, wa), "\\A.ini");
            const enc::Result r = enc::convert(src, wb);
            enc::writeBatch(enc::batchWrites(r), "\\B.ini");
            QCOMPARE(wa, wb);
            QVERIFY(!folder.read("A.ini").isEmpty());
            QCOMPARE(folder.read("B.ini"), folder.read("A.ini"));
        }
    }

    void batchEqualsOneByOneRandomly() {
        std::mt19937 rng(20240611);
        const std::vector<std::string> pool = {
            "",      "********", "*********", "Question?", "Bquestion*", "Equestion*", "[1]",   "q=x",
            " ",     "A) a",     "A) a*",     "B) b",      "B) b*",      "C) c",       "C) c*", "D) d",
            "D) d*", "E) e",     "E) e*",     "E) e* ",    "a) x*",      "F) f*",      "A)",    "*"};
        const std::vector<std::string> starts = {
            "", "[1]\r\nq=a\r\na1=b\r\n", "[2]\nA5=x\n[1]\nap=1\n[inf]\nvsego=3",
            "; c\r\n\r\n[ 1 ]\r\n  q = spaced\r\n[1]\r\nq=second\r\n[inf]\r\nVSEGO=1\r\n",
            "garbage line\r\n[4]\r\nq=4\r\n"};
        for (int round = 0; round < 300; ++round) {
            std::vector<std::string> src;
            const int n = static_cast<int>(rng() % 40);
            for (int i = 0; i < n; ++i)
                src.push_back(pool[rng() % pool.size()]);
            enc::Working w;
            for (std::string* v : {&w.question, &w.answers[0], &w.answers[4], &w.right, &w.number})
                if (rng() % 2)
                    *v = std::to_string(rng() % 5);
            const std::string start = starts[rng() % starts.size()];
            enc::Working a = w, b = w;
            const std::string one = foldOneByOne(start, enc::writeSequence(src, a));
            const std::string batch = foldOneByOne(start, enc::batchWrites(enc::convert(src, b)));
            QVERIFY2(one == batch, qPrintable(QStringLiteral("round %1").arg(round)));
            QCOMPARE(a, b);
        }
    }

    void progressCountsQuestionLines() {
        enc::Working w;
        std::vector<int> seen;
        enc::writeSequence(lines({"A) x", "Q1", "A) a", "Q2", ""}), w, [&](int c) { seen.push_back(c); });
        QCOMPARE(seen, (std::vector<int>{0, 1, 1, 2, 2}));
    }

    void sourcesThatCannotBeConverted() {
        QVERIFY(enc::sourceRefusal(simpleSource("A")).empty());
        // Bytes whose cipher images are NUL, CR and LF.
        for (char bad : {char(0x1E), char(0x13), char(0x14)}) {
            std::vector<std::string> src = simpleSource("AB");
            src[3].insert(2, 1, bad);
            const std::string why = enc::sourceRefusal(src);
            QVERIFY2(why.find("Строка 4") != std::string::npos, why.c_str());
        }
        QVERIFY(enc::sourceRefusal({}).find("нет ни одного вопроса") != std::string::npos);
        QVERIFY(!enc::sourceRefusal(lines({"", "********", "A) a*"})).empty());
        std::vector<std::string> src = simpleSource("A");
        src[0] = std::string(2047, 'x');
        QVERIFY(enc::sourceRefusal(src).empty());
        src[0] += 'x';
        QVERIFY(enc::sourceRefusal(src).find("2048") != std::string::npos);
        QVERIFY(enc::sourceRefusal(lines({"Вопрос?", "A) да*", "Қазақша сұрақ"})).empty());
    }

    // A source saved as UTF-8 (with or without its mark) or UTF-16 with its mark is converted to the
    // course code page, Kazakh letters included, exactly as the same source in the code page; UTF-16
    // without a mark (NUL bytes) is refused and nothing is written.
    void unicodeSourcesAreConverted() {
        const QString text = QStringLiteral(
            "Қазақстанның астанасы?\r\nA) Астана*\r\nB) Алматы\r\nC) Шымкент\r\nD) Өскемен\r\nE) "
            "Түркістан\r\n");
        const auto utf16 = [&](bool bigEndian, bool mark, const QString& t) {
            QByteArray out;
            if (mark)
                out += bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
            for (QChar c : t) {
                const char hi = static_cast<char>(c.unicode() >> 8),
                           lo = static_cast<char>(c.unicode() & 0xFF);
                out.append(bigEndian ? hi : lo);
                out.append(bigEndian ? lo : hi);
            }
            return out;
        };
        const auto put = [&](const char* name, const QByteArray& bytes) {
            textfile::replace(cpFile(name), std::string_view(bytes.constData(), size_t(bytes.size())));
        };
        CourseFolder folder(Contents::Nothing);
        enc::Working w;
        put("cp.txt", QByteArray::fromStdString(cp::fromUtf8(text.toStdString()).value()));
        enc::encipherFile(cpFile("cp.txt"), "Ref", w);
        const QByteArray expected = folder.read("Ref.ini");
        const QByteArray good[] = {text.toUtf8(), "\xEF\xBB\xBF" + text.toUtf8(), utf16(false, true, text),
                                   utf16(true, true, text)};
        for (const QByteArray& src : good) {
            put("u.txt", src);
            enc::Working fresh;
            enc::encipherFile(cpFile("u.txt"), "T", fresh);
            QCOMPARE(folder.read("T.ini"), expected);
            QVERIFY(QFile::remove(folder.file("T.ini")));
        }
        enc::encipherFile(cpFile("cp.txt"), "T", w);
        const QByteArray before = folder.read("T.ini");
        const enc::Working kept = w;
        for (const QByteArray& src : {utf16(false, false, text), utf16(true, false, text)}) {
            put("u16.txt", src);
            try {
                enc::encipherFile(cpFile("u16.txt"), "T", w);
                QFAIL("a UTF-16 source without its mark was converted");
            } catch (const Error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("Строка 1")), e.what());
                QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("UTF-16")), e.what());
            }
            QCOMPARE(folder.read("T.ini"), before);
            QCOMPARE(w, kept);
        }
        // A character the code page cannot hold: its line and column, nothing written.
        put("bad.txt", QStringLiteral("Вопрос?\r\nA) да*\r\nB) нет ✓\r\n").toUtf8());
        try {
            enc::encipherFile(cpFile("bad.txt"), "T", w);
            QFAIL("a character outside the code page was converted");
        } catch (const Error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Строка 3, позиция 8")), e.what());
        }
        QCOMPARE(folder.read("T.ini"), before);
        QCOMPARE(w, kept);
    }

    void testNames() {
        for (const char* good : {"Test1", "test10", "Тест 3", "a.b"})
            QVERIFY2(enc::nameRefusal(cpt(good)).empty(), good);
        for (const char* bad : {"", "   ", "../users", "..", ".", "a/b", "a\\b", "/abs", "users", "USERS",
                                " Test1", "Test1 ", "Te\tst"})
            QVERIFY2(!enc::nameRefusal(cpt(bad)).empty(), bad);
        QVERIFY(!enc::nameRefusal(cpt(enc::kNameHint.data())).empty());
        QCOMPARE(enc::outputFileName("Test3"), std::string("\\Test3.ini"));
    }

    void refusedConversionsChangeNothing() {
        CourseFolder folder(Contents::Nothing);
        textfile::replace(cpFile("good.txt"), textfile::joinLines(simpleSource("ABC")));
        std::vector<std::string> bad = simpleSource("CC");
        bad[8] += '\x1E';
        textfile::replace(cpFile("bad.txt"), textfile::joinLines(bad));
        enc::Working w;
        enc::encipherFile(cpFile("good.txt"), "T", w);
        const QByteArray before = folder.read("T.ini");
        const enc::Working kept = w;
        for (auto [source, name] : {std::pair{"bad.txt", "T"}, std::pair{"missing.txt", "T"},
                                    std::pair{"good.txt", "../T"}, std::pair{"good.txt", "users"}}) {
            try {
                enc::encipherFile(cpFile(source), name, w);
                QFAIL("no refusal");
            } catch (const Error& e) {
                QVERIFY(QString::fromUtf8(e.what()).size() > 10);
            }
            QCOMPARE(folder.read("T.ini"), before);
            QCOMPARE(w, kept);
        }
        QVERIFY(!QFile::exists(folder.file("users.ini")));
    }

    void failedWriteLeavesTheOldFileWhole() {
        CourseFolder folder(Contents::Nothing);
        textfile::replace(cpFile("a.txt"), textfile::joinLines(simpleSource("AB")));
        textfile::replace(cpFile("b.txt"), textfile::joinLines(simpleSource("EEEE")));
        enc::Working w;
        enc::encipherFile(cpFile("a.txt"), "T", w);
        const QByteArray before = folder.read("T.ini");
        QVERIFY(::chmod(QFile::encodeName(folder.file("T.ini")).constData(), 0444) == 0);
        const enc::Working kept = w;
        try {
            enc::encipherFile(cpFile("b.txt"), "T", w);
            QFAIL("the write did not fail");
        } catch (const Error& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.contains(QStringLiteral("Прежний файл теста сохранён")), qPrintable(text));
            QVERIFY(text.contains(folder.file("T.ini")));
        }
        QCOMPARE(folder.read("T.ini"), before);
        QCOMPARE(w, kept);
        ::chmod(QFile::encodeName(folder.file("T.ini")).constData(), 0644);
    }

    void readingBackASoundFile() {
        CourseFolder folder(Contents::Nothing);
        textfile::replace(cpFile("s.txt"), textfile::joinLines(simpleSource("BCA")));
        enc::Working w;
        enc::encipherFile(cpFile("s.txt"), "T", w);
        enc::TestFile f;
        QVERIFY(enc::checkFile("\\T.ini", &f).empty());
        QVERIFY(f.exists);
        QCOMPARE(f.count, 3);
        QCOMPARE(f.questions.size(), std::size_t(3));
        QCOMPARE(f.questions[2].right, std::string("1"));
        QCOMPARE(f.questions[1].answers[2], std::string("C) answer C2 "));
    }

    void problemsOfATestFile() {
        CourseFolder folder(Contents::Nothing);
        const auto problems = [](const std::string& content) {
            textfile::replace(fsys::currentDirectory() + "/P.ini", content);
            return enc::checkFile("\\P.ini");
        };
        const auto has = [](const std::vector<std::string>& ps, const char* fragment) {
            for (const std::string& p : ps)
                if (p.find(fragment) != std::string::npos)
                    return true;
            return false;
        };
        const auto value = [](const std::string& plain) { return store::crypt(plain); };
        std::string sound;
        for (const char* k : {"q", "a1", "a2", "a3", "a4", "a5"})
            sound += std::string(k) + "=" + value("text") + "\r\n";
        const std::string one = "[1]\r\n" + sound + "ap=" + value("2") + "\r\n";
        QVERIFY(problems(one + "[inf]\r\nvsego=" + value("1") + "\r\n").empty());
        QVERIFY(has(problems(one), "vsego"));
        QVERIFY(has(problems(one + "[inf]\r\nvsego=" + value("x1") + "\r\n"), "не целое"));
        QVERIFY(has(problems(one + "[inf]\r\nvsego=" + value("0") + "\r\n"), "не меньше 1"));
        QVERIFY(has(problems(one + "[inf]\r\nvsego=" + value("2") + "\r\n"), "Нет раздела [2]"));
        QVERIFY(has(problems("[1]\r\n" + sound + "[inf]\r\nvsego=" + value("1") + "\r\n"), "нет ключа «ap»"));
        for (const char* ap : {"6", "01", " 1", "", "0"})
            QVERIFY2(has(problems("[1]\r\n" + sound + "ap=" + value(ap) + "\r\n[inf]\r\nvsego=" + value("1") +
                                  "\r\n"),
                         "ap ="),
                     ap);
        // A value of 2047 bytes is read whole; one more and it is cut.
        const std::string head = "[inf]\r\nvsego=" + value("1") +
                                 "\r\n[1]\r\na1=x\r\na2=x\r\na3=x\r\na4=x\r\na5=x\r\n"
                                 "ap=" +
                                 value("1") + "\r\nq=";
        QVERIFY(problems(head + std::string(2047, 'x') + "\r\n").empty());
        QVERIFY(has(problems(head + std::string(2048, 'x') + "\r\n"), "2048"));
        QVERIFY(has(enc::checkFile("\\none.ini"), "не найден"));
    }
};

QTEST_GUILESS_MAIN(EncipherTest)
#include "test_encipher.moc"
