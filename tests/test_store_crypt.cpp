// The protected value store: the cipher and the enciphered reads and writes of store files.
#include <QtTest>

#include <random>

#include "store/codepage.h"
#include "store/error.h"
#include "store/ini.h"
#include "store/store.h"

using namespace ortavia;

namespace {

QByteArray B(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string slurp(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll().toStdString();
}

const QString kRefusal =
    QString::fromUtf8("Значение содержит недопустимый управляющий символ и не может быть сохранено.");

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString old_;
    QString path(const char* name) const { return dir_.path() + "/" + name; }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        old_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path())); // store files are named behind the current directory
    }
    void cleanupTestCase() { QDir::setCurrent(old_); }

    void cryptIsItsOwnInverse() {
        std::string all;
        for (int c = 0; c < 256; ++c)
            all += char(c);
        for (int key = 0; key < 256; ++key) {
            std::string once, twice;
            store::crypt(all, key, once);
            store::crypt(once, key, twice);
            QCOMPARE(B(twice), B(all));
            for (int c = 0; c < 256; ++c)
                QCOMPARE(int(static_cast<unsigned char>(once[size_t(c)])), c ^ key);
        }
        // Only the low byte of the key counts, and the result is appended.
        std::string out = "head:";
        store::crypt("AB", 0x71E, out);
        QCOMPARE(B(out), B("head:_\\"));
        QCOMPARE(B(store::crypt(store::crypt("Привет"))), B("Привет"));
        QCOMPARE(B(store::crypt("!!!!!!")), B("??????"));
    }
    void defaultReadsAsQuestionMarks() {
        QCOMPARE(B(store::read("s", "k", "\\missing.ini")), B("??????"));
        store::write("s", "k", "v", "\\d.ini");
        QCOMPARE(B(store::read("s", "other", "\\d.ini")), B("??????"));
        QCOMPARE(B(store::read("other", "k", "\\d.ini")), B("??????"));
    }
    void writeIntoMissingFile() {
        store::write("user", "pass", "abc", "\\users.ini");
        QCOMPARE(B(slurp(path("users.ini"))), B("[user]\r\npass=" + store::crypt("abc") + "\r\n"));
        QCOMPARE(B(store::read("USER", "PASS", "\\users.ini")), B("abc"));
    }
    void roundTripOfEveryStorableByte() {
        std::string all;
        for (int c = 1; c < 256; ++c)
            if (c != 0x1E && c != 0x13 && c != 0x14)
                all += char(c);
        store::write("all", "v", all, "\\bytes.ini");
        QCOMPARE(B(store::read("all", "v", "\\bytes.ini")), B(all));
        // Each byte alone, so that bytes which encipher to ' ', '=', '[', ';' stand at the edges.
        for (char c : all) {
            const std::string v = std::string(1, c), w = std::string(1, c) + "x" + std::string(1, c);
            store::write("one", "v", v, "\\bytes.ini");
            QCOMPARE(B(store::read("one", "v", "\\bytes.ini")), B(v));
            store::write("one", "w", w, "\\bytes.ini");
            QCOMPARE(B(store::read("one", "w", "\\bytes.ini")), B(w));
        }
        const std::string texts[] = {*cp::fromUtf8("Иванов Иван Иванович"), *cp::fromUtf8("Әсел Қайратқызы"),
                                     "> leading and trailing blanks once enciphered >", "", "a=b;c[d]"};
        for (const std::string& t : texts) {
            store::write("text", "t", t, "\\bytes.ini");
            QCOMPARE(B(store::read("text", "t", "\\bytes.ini")), B(t));
        }
    }
    void refusesValuesThatCannotBeKept() {
        store::write("s", "k", "old", "\\refuse.ini");
        const std::string before = slurp(path("refuse.ini"));
        for (char bad : {char(0x1E), char(0x13), char(0x14)}) {
            try {
                store::write("s", "k", "ab" + std::string(1, bad) + "cd", "\\refuse.ini");
                QFAIL("no refusal");
            } catch (const Error& e) {
                QCOMPARE(QString::fromUtf8(e.what()), kRefusal);
            }
        }
        QCOMPARE(B(slurp(path("refuse.ini"))), B(before));
        try {
            store::write("s", "k", std::string(1, char(store::kCipherKey)), "\\refuse-new.ini");
            QFAIL("no refusal");
        } catch (const Error&) {
        }
        QVERIFY(!QFile::exists(path("refuse-new.ini")));
        QVERIFY(!QFile::exists(path("refuse-new.ini.lock")));
    }
    void nulEndsValueAtIniLevel() {
        const std::string p = (dir_.path() + "/nul.ini").toStdString();
        ini::write(p, "s", "k", std::string("ab\0cd", 5));
        QCOMPARE(B(ini::read(p, "s", "k", "")), B("ab"));
        QCOMPARE(B(slurp(path("nul.ini"))), B("[s]\r\nk=ab\r\n"));
    }
    void longValues() {
        store::write("s", "a", std::string(2047, 'a'), "\\long.ini");
        store::write("s", "b", std::string(2048, 'b'), "\\long.ini");
        QCOMPARE(B(store::read("s", "a", "\\long.ini")), B(std::string(2047, 'a')));
        QCOMPARE(B(store::read("s", "b", "\\long.ini")), B(std::string(2047, 'b')));
    }
    void eraseLeavesOtherSections() {
        store::write("a", "k", "1", "\\erase.ini");
        store::write("b", "k", "2", "\\erase.ini");
        store::write("c", "k", "3", "\\erase.ini");
        const std::string a = "[a]\r\nk=" + store::crypt("1") + "\r\n";
        const std::string c = "[c]\r\nk=" + store::crypt("3") + "\r\n";
        store::erase("B", "\\erase.ini");
        QCOMPARE(B(slurp(path("erase.ini"))), B(a + c));
        QCOMPARE(B(store::read("b", "k", "\\erase.ini")), B("??????"));
        store::erase("missing", "\\erase.ini");
        QCOMPARE(B(slurp(path("erase.ini"))), B(a + c));
    }
    void cyrillicAndKazakhSectionNames() {
        auto c = [](const char* utf8) { return *cp::fromUtf8(utf8); };
        store::write(c("Иван"), c("Пароль"), "1", "\\names.ini");
        store::write(c("Әсел"), c("Пароль"), "2", "\\names.ini");
        QCOMPARE(B(store::read(c("иВАН"), c("пАРОЛЬ"), "\\names.ini")), B("1"));
        QCOMPARE(B(store::read(c("әСЕЛ"), c("ПАРОЛЬ"), "\\names.ini")), B("2"));
        store::write(c("ӘСЕЛ"), c("пароль"), "3", "\\names.ini");
        QCOMPARE(B(slurp(path("names.ini"))),
                 B("[" + c("Иван") + "]\r\n" + c("Пароль") + "=" + store::crypt("1") + "\r\n[" + c("Әсел") +
                   "]\r\n" + c("Пароль") + "=" + store::crypt("3") + "\r\n"));
    }
    void batchRefusesBeforeWriting() {
        store::Batch batch("\\batch.ini");
        batch.write("s", "a", "fine");
        try {
            batch.write("s", "b", std::string("x\x14", 2));
            QFAIL("no refusal");
        } catch (const Error& e) {
            QCOMPARE(QString::fromUtf8(e.what()), kRefusal);
        }
        QVERIFY(!QFile::exists(path("batch.ini")));
        batch.commit();
        QCOMPARE(B(store::read("s", "a", "\\batch.ini")), B("fine"));
        QCOMPARE(B(store::read("s", "b", "\\batch.ini")), B("??????"));
    }
    void batchSameBytesAsOneByOne() {
        std::mt19937 rng(7);
        store::Batch batch("\\b-all.ini");
        for (int i = 0; i < 300; ++i) {
            const std::string s = std::to_string(rng() % 8), k = "k" + std::to_string(rng() % 5);
            if (rng() % 6 == 0) {
                store::erase(s, "\\b-one.ini");
                batch.erase(s);
            } else {
                std::string v;
                for (unsigned n = rng() % 12; n > 0; --n)
                    v += char(0x20 + rng() % 0xD0);
                store::write(s, k, v, "\\b-one.ini");
                batch.write(s, k, v);
            }
        }
        batch.commit();
        QCOMPARE(B(slurp(path("b-all.ini"))), B(slurp(path("b-one.ini"))));
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "test_store_crypt.moc"
