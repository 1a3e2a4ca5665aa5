// The question notation: what the rich text shows (read back through Qt's own rich text engine),
// the Unicode plain text, the problems named, no markup from the text itself, and the way from
// Unicode to the notation and back.
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include "testing/notation.h"

using namespace ortavia::testing;

namespace {

// What a reader sees in the rich text: the characters, with superscript parts as ^[…], subscript
// parts as _[…], overlined parts as ‾[…], each image as [img WxH] and a line break as |.
QString seen(const QString& rich) {
    QTextDocument doc;
    doc.setHtml(rich);
    QString out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat fmt = f.charFormat();
            if (fmt.isImageFormat()) {
                const QTextImageFormat img = fmt.toImageFormat();
                out += QStringLiteral("[img %1x%2]").arg(img.width()).arg(img.height());
                continue;
            }
            QString t = f.text();
            t.replace(QChar::LineSeparator, QLatin1Char('|'));
            if (fmt.fontOverline())
                t = QStringLiteral("‾[") + t + QLatin1Char(']');
            if (fmt.verticalAlignment() == QTextCharFormat::AlignSuperScript)
                t = QStringLiteral("^[") + t + QLatin1Char(']');
            else if (fmt.verticalAlignment() == QTextCharFormat::AlignSubScript)
                t = QStringLiteral("_[") + t + QLatin1Char(']');
            out += t;
        }
    }
    return out;
}

void writeFigure(const QString& path, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(image.save(path));
}

} // namespace

class NotationTest : public QObject {
    Q_OBJECT
private slots:
    void everyCommandIsShownTypeset_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("plain");
        QTest::newRow("powers") << "g = 10 м/с^2, T^{-1}, 10^23 м"
                                << "g = 10 м/с^[2], T^[-1], 10^[23] м"
                                << "g = 10 м/с², T⁻¹, 10²³ м";
        QTest::newRow("indices") << "V_0, V_{max}, q_1q_2"
                                 << "V_[0], V_[max], q_[1]q_[2]"
                                 << "V₀, Vₘₐₓ, q₁q₂";
        QTest::newRow("nesting") << "x_{i}^{2} + \\vec{F}_{12}"
                                 << "x_[i]^[2] + F⃗_[12]"
                                 << "xᵢ² + F⃗₁₂";
        QTest::newRow("script of a command") << "\\mu_0\\mu H^\\alpha"
                                             << "μ_[0]μ H^[α]"
                                             << "μ₀μ H^α";
        QTest::newRow("lower Greek") << "\\alpha\\beta\\gamma\\delta\\epsilon\\zeta\\eta\\theta\\iota\\kappa"
                                        "\\lambda\\mu\\nu\\xi\\omicron\\pi"
                                        "\\rho\\sigma\\tau\\upsilon\\phi\\chi\\psi\\omega"
                                     << "αβγδεζηθικλμνξοπρστυφχψω"
                                     << "αβγδεζηθικλμνξοπρστυφχψω";
        QTest::newRow("capital Greek") << "\\Alpha\\Beta\\Gamma\\Delta\\Epsilon\\Zeta\\Eta\\Theta\\Iota\\Kapp"
                                          "a\\Lambda\\Mu\\Nu\\Xi\\Omicron\\Pi"
                                          "\\Rho\\Sigma\\Tau\\Upsilon\\Phi\\Chi\\Psi\\Omega"
                                       << "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"
                                       << "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ";
        QTest::newRow("signs")
            << "\\cdot\\times\\pm\\mp\\approx\\ne\\le\\ge\\sim\\propto\\infty\\partial\\nabla"
               "\\degree\\hbar\\to\\parallel\\perp\\angle"
            << "·×±∓≈≠≤≥∼∝∞∂∇°ħ→∥⊥∠"
            << "·×±∓≈≠≤≥∼∝∞∂∇°ħ→∥⊥∠";
        QTest::newRow("root, vector, fraction")
            << "\\sqrt{2gh}, \\vec{v}, \\frac{mv^2}{2}, \\frac{q_1 q_2}{4\\pi r^2}"
            << "√‾[2gh], v⃗, mv^[2]/2, (q_[1] q_[2])/(4π r^[2])"
            << "√2gh, v⃗, mv²/2, (q₁ q₂)/(4π r²)";
        QTest::newRow("backslash and blanks") << "a\\\\b  \\omega{}t, \\omega t"
                                              << "a\\b  ωt, ω t"
                                              << "a\\b  ωt, ω t";
        QTest::newRow("signs that are no scripts") << "_____ ^ x^ a^*"
                                                   << "_____ ^ x^ a^*"
                                                   << "_____ ^ x^ a^*";
        QTest::newRow("unknown command") << "\\foo{x} и \\alphax"
                                         << "\\foo{x} и \\alphax"
                                         << "\\foo{x} и \\alphax";
        QTest::newRow("unbalanced braces") << "x^{2 + \\sqrt{y"
                                           << "x^{2 + \\sqrt{y"
                                           << "x^{2 + \\sqrt{y";
        QTest::newRow("stray closing brace") << "a} {b} \\vec b"
                                             << "a} {b} \\vec b"
                                             << "a} {b} \\vec b";
        QTest::newRow("markup of the text is text") << "<img src=x> <a href=\"http://e.x\">x</a> &amp; <b>"
                                                    << "<img src=x> <a href=\"http://e.x\">x</a> &amp; <b>"
                                                    << "<img src=x> <a href=\"http://e.x\">x</a> &amp; <b>";
        QTest::newRow("markup inside a script") << "x^{<b>}"
                                                << "x^[<b>]"
                                                << "x^(<b>)";
        QTest::newRow("missing figure") << "См. \\img{nowhere.png}"
                                        << "См. [рисунок: nowhere.png]"
                                        << "См. [рисунок: nowhere.png]";
        QTest::newRow("figure out of the folder") << "\\img{../x.png}"
                                                  << "[рисунок: ../x.png]"
                                                  << "[рисунок: ../x.png]";
    }

    void everyCommandIsShownTypeset() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, plain);
        const QString rich = notation::toRichText(text, QString());
        QCOMPARE(seen(rich), shown);
        QVERIFY(!rich.contains(QLatin1String("<b>")) && !rich.contains(QLatin1String("<a ")));
        QCOMPARE(notation::toPlainText(text), plain);
    }

    void problemsAreNamedWithTheirPlace() {
        const auto problems = notation::problems(QStringLiteral("\\foo x^{2 } } \\sqrt y \\img{a/b.png} \\"));
        QStringList got;
        for (const notation::Problem& p : problems)
            got << QStringLiteral("%1: %2").arg(p.column).arg(p.text);
        QCOMPARE(got,
                 QStringList({QStringLiteral("1: неизвестная команда «\\foo»"),
                              QStringLiteral("13: закрывающая скобка «}» без открывающей"),
                              QStringLiteral("15: после «\\sqrt» нужен аргумент в фигурных скобках {…}"),
                              QStringLiteral("23: имя рисунка «a/b.png» должно быть простым именем файла "
                                             "(без папки и «..»)"),
                              QStringLiteral("37: обратная косая черта «\\» без команды (сама черта пишется "
                                             "«\\\\»)")}));
        QVERIFY(notation::problems(QStringLiteral("x_{i}^{2}, \\frac{a}{b}, {1, 2}, a\\\\b, \\omega{}t"))
                    .empty());
        QCOMPARE(notation::problems(QStringLiteral("{a")).front().column, 1);
    }

    void figuresAreShownScaledToTheirBox() {
        QTemporaryDir dir;
        writeFigure(dir.filePath(QStringLiteral("Incline.png")), QSize(400, 200));
        const QString text = QStringLiteral("Брусок \\img{incline.png}");
        // Natural size, scaled with the screen, and held within the box (proportions kept).
        QCOMPARE(seen(notation::toRichText(text, dir.path())), QStringLiteral("Брусок |[img 400x200]"));
        QCOMPARE(seen(notation::toRichText(text, dir.path(), {{}, 0.5})),
                 QStringLiteral("Брусок |[img 200x100]"));
        QCOMPARE(seen(notation::toRichText(text, dir.path(), {{300, 300}, 1.5})),
                 QStringLiteral("Брусок |[img 300x150]"));
        QCOMPARE(notation::figureNames(QStringLiteral("\\img{a.png} x \\img{b.svg} \\img{a.png}")),
                 QStringList({QStringLiteral("a.png"), QStringLiteral("b.svg")}));
        // A picture that is no image: its name.
        QFile bad(dir.filePath(QStringLiteral("bad.png")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not an image");
        bad.close();
        QCOMPARE(seen(notation::toRichText(QStringLiteral("\\img{bad.png}"), dir.path())),
                 QStringLiteral("[рисунок: bad.png]"));
        const QString path = notation::figurePath(dir.path(), QStringLiteral("INCLINE.PNG"));
        QCOMPARE(notation::figureImage(path, QSize(80, 40)).size(), QSize(80, 40));
    }

    void unicodeBecomesNotationAndBack_data() {
        QTest::addColumn<QString>("unicode");
        QTest::addColumn<QString>("said");
        QTest::newRow("energy density") << "w = μμ₀H²/2"
                                        << "w = \\mu\\mu_0H^2/2";
        QTest::newRow("units") << "g = 9,8 м/с², ρ = 10³ кг/м³, c⁻¹"
                               << "g = 9,8 м/с^2, \\rho = 10^3 кг/м^3, c^-1";
        QTest::newRow("digits after a power") << "x²3 и x₁₂"
                                              << "x^{2}3 и x_12";
        QTest::newRow("letters after a command") << "ωt + φ₀, λ/2"
                                                 << "\\omega{}t + \\phi_0, \\lambda/2";
        QTest::newRow("indices") << "vₘₐₓ = ωA, Eₖ = mv²/2"
                                 << "v_{max} = \\omega{}A, E_k = mv^2/2";
        QTest::newRow("roots") << "v = √2gh, T = 2π√(l/g), √"
                               << "v = \\sqrt{2gh}, T = 2\\pi\\sqrt{(l/g)}, \\sqrt{}";
        QTest::newRow("vectors") << "F⃗ = ma⃗, ∇×B⃗"
                                 << "\\vec{F} = m\\vec{a}, \\nabla\\times\\vec{B}";
        QTest::newRow("signs")
            << "ΔU ≈ 0, x ≠ y ≤ z ≥ w, ħω, ∞, ∂, ∝, ∼, α ⊥ β ∥ γ, ∠A, ∓, a→b"
            << "\\Delta{}U \\approx 0, x \\ne y \\le z \\ge w, \\hbar\\omega, \\infty, \\partial, "
               "\\propto, \\sim, \\alpha \\perp \\beta \\parallel \\gamma, \\angle{}A, \\mp, "
               "a\\to{}b";
        QTest::newRow("code page signs stay") << "t = 20 °C ± 0,5 · 2"
                                              << "t = 20 °C ± 0,5 · 2";
        QTest::newRow("ion") << "Na⁺ и Cl⁻"
                             << "Na^{+} и Cl^{-}";
    }

    void unicodeBecomesNotationAndBack() {
        QFETCH(QString, unicode);
        QFETCH(QString, said);
        QCOMPARE(notation::fromUnicode(unicode), said);
        QCOMPARE(notation::toUnicodeSource(said), unicode);
        QCOMPARE(notation::toPlainText(said), unicode);
    }

    void exportKeepsTheNotationWhereUnicodeWouldReadBackOtherwise() {
        const QString texts[] = {
            QStringLiteral("\\frac{a}{b} \\img{c.png} x^{2} \\cdot 5\\degree \\pm a\\\\b \\vec{AB} x^{max}"),
            QStringLiteral("\\sqrt{x}^2 \\sqrt{x+y} \\foo {"),
        };
        for (const QString& t : texts)
            QCOMPARE(notation::fromUnicode(notation::toUnicodeSource(t)), t);
        QCOMPARE(notation::toUnicodeSource(QStringLiteral("B^2 \\mu_0 x^{2} \\cdot")),
                 QStringLiteral("B² μ₀ x^{2} \\cdot"));
        QCOMPARE(notation::fromUnicode(QStringLiteral("√x ₘ"), true), QStringLiteral("\\sqrt\\{x\\} _m"));
        QVERIFY(notation::sayable(U'λ') && notation::sayable(U'²') && !notation::sayable(U'☃') &&
                !notation::sayable(U'·'));
    }
};

QTEST_MAIN(NotationTest)
#include "test_notation.moc"
