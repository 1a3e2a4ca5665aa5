// The course code page: conversion to and from UTF-8 and the letter case folding.
#include <QtTest>

#include <thread>

#include "store/codepage.h"

using namespace ortavia;

namespace {
QByteArray B(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}
} // namespace

class CodePageTest : public QObject {
    Q_OBJECT
private slots:
    void roundTripTexts() {
        const char* texts[] = {
            "Latin text, digits 0123456789 and ~!@#$%^&*()_+{}|:\"<>?",
            "Съешь же ещё этих мягких французских булок, да выпей чаю. ЁЖ",
            "Әсел, Ғалым, Қайрат, Ңғ, Өмір, Ұлан, Үміт, Һ, Іле; әғқңөұүһі",
            "Ђ ђ Ѓ ѓ Љ љ Њ њ Џ џ І і Ё ё; “quotes” – € № ™ « » … § ±",
        };
        for (const char* t : texts) {
            std::optional<std::string> cpText = cp::fromUtf8(t);
            QVERIFY2(cpText.has_value(), t);
            QCOMPARE(B(cp::toUtf8(*cpText)), B(t));
        }
    }
    void knownBytes() {
        QCOMPARE(B(*cp::fromUtf8("Иван")), B("\xC8\xE2\xE0\xED"));
        QCOMPARE(B(*cp::fromUtf8("Әә Ғғ Ққ Ңң Өө Ұұ Үү Һһ")),
                 B("\xA3\xBC \xAA\xBA \x8D\x9D \xBD\xBE \xA5\xB4 \xA1\xA2 \xAF\xBF \x8E\x9E"));
        QCOMPARE(B(*cp::fromUtf8("€")), B("\x88"));
        QCOMPARE(B(*cp::fromUtf8("Ёё Іі")), B("\xA8\xB8 \xB2\xB3"));
    }
    void everyByteRoundTrips() {
        for (int c = 0; c < 256; ++c) {
            const std::string one(1, char(c));
            const std::string utf8 = cp::toUtf8(one);
            if (c == 0x98) {
                QCOMPARE(B(utf8), B("\xEF\xBF\xBD"));
                continue;
            }
            std::optional<std::string> back = cp::fromUtf8(utf8);
            QVERIFY2(back.has_value(), qPrintable(QString::number(c, 16)));
            QCOMPARE(B(*back), B(one));
        }
        QCOMPARE(B(cp::toUtf8("a\x98"
                              "b\xC0")),
                 B("a\xEF\xBF\xBD"
                   "b\xD0\x90"));
    }
    void refusals() {
        QVERIFY(!cp::fromUtf8("λ"));
        QVERIFY(!cp::fromUtf8("abc λ def"));
        QVERIFY(!cp::fromUtf8("😀"));
        QVERIFY(!cp::fromUtf8("中文"));
        // Windows-1251 has these where the Kazakh letters are.
        QVERIFY(!cp::fromUtf8("Ґ"));
        QVERIFY(!cp::fromUtf8("Ћ"));
        QVERIFY(!cp::fromUtf8("Ќ"));
        QVERIFY(!cp::fromUtf8("Ї"));
        QVERIFY(!cp::fromUtf8("Є"));
        QVERIFY(!cp::fromUtf8("Ў"));
        QVERIFY(!cp::fromUtf8("\xEF\xBF\xBD")); // U+FFFD
        QVERIFY(!cp::fromUtf8("\xC2\x98"));     // U+0098, the undefined byte
        QVERIFY(!cp::fromUtf8("\xD0"));         // cut sequence
        QVERIFY(!cp::fromUtf8("\xFF\xFE"));     // no UTF-8
        QVERIFY(!cp::fromUtf8("\xC0\xAF"));     // overlong form of '/'
        QVERIFY(!cp::fromUtf8("\xED\xA0\x80")); // surrogate
        // A refusal leaves the converter usable.
        QCOMPARE(B(*cp::fromUtf8("Ж")), B("\xC6"));
        QCOMPARE(B(*cp::fromUtf8("")), B(""));
        QCOMPARE(B(cp::toUtf8("")), B(""));
    }
    void nulBytesPass() {
        QCOMPARE(B(*cp::fromUtf8(std::string("a\0Ж", 4))), B(std::string("a\0\xC6", 3)));
        QCOMPARE(B(cp::toUtf8(std::string("\xC6\0b", 3))), B(std::string("Ж\0b", 4)));
    }
    void foldTable() {
        const std::map<int, int> pairs = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                          {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                          {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                                          {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
        int changed = 0;
        for (int c = 0; c < 256; ++c) {
            int expected = c;
            if (c >= 'A' && c <= 'Z')
                expected = c + 32;
            else if (c >= 0xC0 && c <= 0xDF)
                expected = c + 32;
            else if (pairs.count(c))
                expected = pairs.at(c);
            QCOMPARE(int(cp::foldCase(static_cast<unsigned char>(c))), expected);
            if (expected != c && !(c >= 'A' && c <= 'Z'))
                ++changed;
        }
        QCOMPARE(changed, 47);
        // Each folded capital is the lower-case letter of the same character.
        for (auto [upper, lower] : pairs) {
            QString u = QString::fromStdString(cp::toUtf8(std::string(1, char(upper))));
            QString l = QString::fromStdString(cp::toUtf8(std::string(1, char(lower))));
            QCOMPARE(u.toLower(), l);
        }
    }
    void compareNoCase() {
        auto c = [](const char* utf8) { return *cp::fromUtf8(utf8); };
        QVERIFY(cp::equalsNoCase(c("Иван"), c("иВАН")));
        QVERIFY(cp::equalsNoCase(c("Әсел"), c("әСЕЛ")));
        QVERIFY(cp::equalsNoCase(c("ҒҚҢӨҰҮҺІЁ"), c("ғқңөұүһіё")));
        QVERIFY(cp::equalsNoCase("Test3.INI", "test3.ini"));
        QVERIFY(!cp::equalsNoCase(c("Иван"), c("Иваны")));
        QVERIFY(!cp::equalsNoCase(c("Е"), c("Ё")));
        QVERIFY(!cp::equalsNoCase("[", "{")); // only letters fold
        QVERIFY(!cp::equalsNoCase("@", "`"));
        QVERIFY(cp::startsWithNoCase(c("ӘСЕЛ Ғалымқызы"), c("әсел ")));
        QVERIFY(!cp::startsWithNoCase(c("Әс"), c("әсел")));
        QCOMPARE(B(cp::foldCase(c("Қазақстан QAZ"))), B(c("қазақстан qaz")));
    }
    void threads() {
        std::vector<std::thread> threads;
        std::atomic<int> failures{0};
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 2000; ++i) {
                    std::optional<std::string> s = cp::fromUtf8("Қазақ тілі — " + std::to_string(i));
                    if (!s || cp::toUtf8(*s) != "Қазақ тілі — " + std::to_string(i) || cp::fromUtf8("λ"))
                        ++failures;
                }
            });
        for (auto& t : threads)
            t.join();
        QCOMPARE(failures.load(), 0);
    }
};

QTEST_GUILESS_MAIN(CodePageTest)
#include "test_store_codepage.moc"
