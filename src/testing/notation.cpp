// The question notation: parsed once into a small tree, then written as rich text, Unicode plain
// text or Unicode for export; Unicode read back into the notation for import.
#include "testing/notation.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <optional>

#include "store/codepage.h"

namespace ortavia::testing::notation {
namespace {

// ----- Tables -----------------------------------------------------------------------------------

struct Symbol {
    const char* name;
    char16_t unicode;
};

// The commands that stand for one character.
constexpr Symbol kSymbols[] = {
    {"alpha", u'α'},  {"beta", u'β'},   {"gamma", u'γ'},  {"delta", u'δ'},   {"epsilon", u'ε'},
    {"zeta", u'ζ'},   {"eta", u'η'},    {"theta", u'θ'},  {"iota", u'ι'},    {"kappa", u'κ'},
    {"lambda", u'λ'}, {"mu", u'μ'},     {"nu", u'ν'},     {"xi", u'ξ'},      {"omicron", u'ο'},
    {"pi", u'π'},     {"rho", u'ρ'},    {"sigma", u'σ'},  {"tau", u'τ'},     {"upsilon", u'υ'},
    {"phi", u'φ'},    {"chi", u'χ'},    {"psi", u'ψ'},    {"omega", u'ω'},   {"Alpha", u'Α'},
    {"Beta", u'Β'},   {"Gamma", u'Γ'},  {"Delta", u'Δ'},  {"Epsilon", u'Ε'}, {"Zeta", u'Ζ'},
    {"Eta", u'Η'},    {"Theta", u'Θ'},  {"Iota", u'Ι'},   {"Kappa", u'Κ'},   {"Lambda", u'Λ'},
    {"Mu", u'Μ'},     {"Nu", u'Ν'},     {"Xi", u'Ξ'},     {"Omicron", u'Ο'}, {"Pi", u'Π'},
    {"Rho", u'Ρ'},    {"Sigma", u'Σ'},  {"Tau", u'Τ'},    {"Upsilon", u'Υ'}, {"Phi", u'Φ'},
    {"Chi", u'Χ'},    {"Psi", u'Ψ'},    {"Omega", u'Ω'},  {"cdot", u'·'},    {"times", u'×'},
    {"pm", u'±'},     {"mp", u'∓'},     {"approx", u'≈'}, {"ne", u'≠'},      {"le", u'≤'},
    {"ge", u'≥'},     {"sim", u'∼'},    {"propto", u'∝'}, {"infty", u'∞'},   {"partial", u'∂'},
    {"nabla", u'∇'},  {"degree", u'°'}, {"hbar", u'ħ'},   {"to", u'→'},      {"parallel", u'∥'},
    {"perp", u'⊥'},   {"angle", u'∠'},
};

// Characters that import reads as a command although the command shows another form of them.
constexpr Symbol kAlsoRead[] = {
    {"cdot", u'⋅'},  {"cdot", u'∙'}, {"hbar", u'ℏ'}, {"le", u'⩽'},    {"ge", u'⩾'},      {"Delta", u'∆'},
    {"Omega", u'Ω'}, {"perp", u'⟂'}, {"phi", u'ϕ'},  {"theta", u'ϑ'}, {"epsilon", u'ϵ'},
};

constexpr char16_t kVecArrow = u'\u20D7';
constexpr char16_t kRoot = u'√';
constexpr char16_t kMinus = u'−';

// Script characters: the character of the notation and its superscript and subscript forms (0 where
// Unicode has none).
struct Script {
    char16_t plain, sup, sub;
};
constexpr Script kScripts[] = {
    {u'0', u'⁰', u'₀'}, {u'1', u'¹', u'₁'}, {u'2', u'²', u'₂'}, {u'3', u'³', u'₃'}, {u'4', u'⁴', u'₄'},
    {u'5', u'⁵', u'₅'}, {u'6', u'⁶', u'₆'}, {u'7', u'⁷', u'₇'}, {u'8', u'⁸', u'₈'}, {u'9', u'⁹', u'₉'},
    {u'+', u'⁺', u'₊'}, {u'-', u'⁻', u'₋'}, {u'=', u'⁼', u'₌'}, {u'(', u'⁽', u'₍'}, {u')', u'⁾', u'₎'},
    {u'n', u'ⁿ', u'ₙ'}, {u'i', u'ⁱ', u'ᵢ'}, {u'a', 0, u'ₐ'},    {u'e', 0, u'ₑ'},    {u'o', 0, u'ₒ'},
    {u'x', 0, u'ₓ'},    {u'h', 0, u'ₕ'},    {u'k', 0, u'ₖ'},    {u'l', 0, u'ₗ'},    {u'm', 0, u'ₘ'},
    {u'p', 0, u'ₚ'},    {u's', 0, u'ₛ'},    {u't', 0, u'ₜ'},    {u'r', 0, u'ᵣ'},    {u'u', 0, u'ᵤ'},
    {u'v', 0, u'ᵥ'},    {u'j', 0, u'ⱼ'},
};

bool cpHolds(QChar c) {
    return cp::fromUtf8(QString(c).toStdString()).has_value();
}

const Symbol* symbolNamed(QStringView name) {
    for (const Symbol& s : kSymbols)
        if (name == QLatin1String(s.name))
            return &s;
    return nullptr;
}

// The command import writes for a character, or null.
const char* commandFor(QChar c) {
    static const QHash<char16_t, const char*> table = [] {
        QHash<char16_t, const char*> t;
        for (const Symbol& s : kSymbols)
            if (!cpHolds(QChar(s.unicode)))
                t.insert(s.unicode, s.name);
        for (const Symbol& s : kAlsoRead)
            t.insert(s.unicode, s.name);
        return t;
    }();
    return table.value(c.unicode(), nullptr);
}

// The plain form of a script character (0 when c is none), and which script it is.
char16_t scriptPlain(QChar c, bool& sup) {
    for (const Script& s : kScripts) {
        if (s.sup && c == QChar(s.sup)) {
            sup = true;
            return s.plain;
        }
        if (c == QChar(s.sub)) {
            sup = false;
            return s.plain;
        }
    }
    return 0;
}

std::optional<QString> scripted(const QString& plain, bool sup) {
    QString out;
    for (QChar c : plain) {
        char16_t m = 0;
        for (const Script& s : kScripts)
            if (c == QChar(s.plain))
                m = sup ? s.sup : s.sub;
        if (c == QChar(kMinus))
            m = sup ? u'⁻' : u'₋';
        if (!m)
            return std::nullopt;
        out += QChar(m);
    }
    return out;
}

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// ----- The tree ---------------------------------------------------------------------------------

struct Node {
    enum Kind { Text, Symbol, Sup, Sub, Sqrt, Vec, Frac, Figure } kind = Text;
    QString text;   // Text: the characters; Symbol: its character; Figure: the name
    QString source; // as typed
    std::vector<std::vector<Node>> args;
};
using Nodes = std::vector<Node>;

class Parser {
public:
    explicit Parser(const QString& s) : s_(s), match_(static_cast<std::size_t>(s.size()), -1) {
        std::vector<qsizetype> open;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i] == u'\\' && i + 1 < s.size() && s[i + 1] == u'\\') {
                ++i;
            } else if (s[i] == u'{') {
                open.push_back(i);
            } else if (s[i] == u'}') {
                if (open.empty()) {
                    problem(i, QStringLiteral("закрывающая скобка «}» без открывающей"));
                } else {
                    match_[static_cast<std::size_t>(open.back())] = i;
                    match_[static_cast<std::size_t>(i)] = open.back();
                    open.pop_back();
                }
            }
        }
        for (qsizetype i : open)
            problem(i, QStringLiteral("открывающая скобка «{» не закрыта"));
        nodes_ = sequence(0, s.size());
        std::sort(problems_.begin(), problems_.end(),
                  [](const Problem& a, const Problem& b) { return a.column < b.column; });
    }
    const Nodes& nodes() const { return nodes_; }
    const std::vector<Problem>& problems() const { return problems_; }

private:
    void problem(qsizetype at, const QString& text) { problems_.push_back({static_cast<int>(at + 1), text}); }

    // The closing brace of a group opening at i that ends before end, or -1.
    qsizetype groupEnd(qsizetype i, qsizetype end) const {
        if (i >= end || s_[i] != u'{')
            return -1;
        const qsizetype m = match_[static_cast<std::size_t>(i)];
        return m > i && m < end ? m : -1;
    }

    static void addText(Nodes& out, const QString& text) {
        // A backslash written "\\" stays a part of its own, as typed.
        if (!out.empty() && out.back().kind == Node::Text && out.back().source == out.back().text) {
            out.back().text += text;
            out.back().source += text;
        } else {
            out.push_back({Node::Text, text, text, {}});
        }
    }

    Nodes sequence(qsizetype b, qsizetype e) {
        Nodes out;
        qsizetype i = b;
        while (i < e) {
            const QChar c = s_[i];
            if (c == u'\\') {
                i = command(i, e, out);
            } else if ((c == u'^' || c == u'_') && i + 1 < e) {
                Nodes arg;
                const qsizetype next = scriptArgument(i + 1, e, arg);
                if (next < 0) {
                    addText(out, QString(c));
                    ++i;
                    continue;
                }
                out.push_back({c == u'^' ? Node::Sup : Node::Sub, {}, s_.mid(i, next - i), {std::move(arg)}});
                i = next;
            } else {
                addText(out, QString(c));
                ++i;
            }
        }
        return out;
    }

    // The argument of a script sign: a group, a command, a run of digits with an optional sign, or
    // one letter. Gives the position after it, or -1 when there is none.
    qsizetype scriptArgument(qsizetype j, qsizetype e, Nodes& arg) {
        if (const qsizetype close = groupEnd(j, e); close >= 0) {
            arg = sequence(j + 1, close);
            return close + 1;
        }
        const QChar c = s_[j];
        if (c == u'\\' && j + 1 < e && isAsciiLetter(s_[j + 1]))
            return command(j, e, arg);
        qsizetype k = j;
        if (c == u'-' || c == u'+')
            ++k;
        const qsizetype digits = k;
        while (k < e && isDigit(s_[k]))
            ++k;
        if (k > digits) {
            addText(arg, s_.mid(j, k - j));
            return k;
        }
        if (c.isLetter() && !c.isSurrogate()) {
            addText(arg, QString(c));
            return j + 1;
        }
        return -1;
    }

    // A command at i (a backslash); appends its node (or its characters as typed) and gives the
    // position after it.
    qsizetype command(qsizetype i, qsizetype e, Nodes& out) {
        if (i + 1 < e && s_[i + 1] == u'\\') {
            out.push_back({Node::Text, QStringLiteral("\\"), QStringLiteral("\\\\"), {}});
            return i + 2;
        }
        qsizetype j = i + 1;
        while (j < e && isAsciiLetter(s_[j]))
            ++j;
        const QString name = s_.mid(i + 1, j - i - 1);
        const QString typed = s_.mid(i, j - i);
        if (name.isEmpty()) {
            problem(i, QStringLiteral("обратная косая черта «\\» без команды (сама черта пишется «\\\\»)"));
            addText(out, typed);
            return j;
        }
        if (const Symbol* sym = symbolNamed(name)) {
            if (j + 1 < e && s_[j] == u'{' && s_[j + 1] == u'}')
                j += 2;
            out.push_back({Node::Symbol, QString(QChar(sym->unicode)), s_.mid(i, j - i), {}});
            return j;
        }
        const int arity =
            name == QLatin1String("frac") ? 2
            : name == QLatin1String("sqrt") || name == QLatin1String("vec") || name == QLatin1String("img")
                ? 1
                : 0;
        if (arity == 0) {
            problem(i, QStringLiteral("неизвестная команда «%1»").arg(typed));
            addText(out, typed);
            return j;
        }
        Node node;
        node.kind = name == QLatin1String("frac")   ? Node::Frac
                    : name == QLatin1String("sqrt") ? Node::Sqrt
                    : name == QLatin1String("vec")  ? Node::Vec
                                                    : Node::Figure;
        qsizetype k = j;
        for (int a = 0; a < arity; ++a) {
            const qsizetype close = groupEnd(k, e);
            if (close < 0) {
                problem(i, QStringLiteral("после «%1» нужен%2 аргумент в фигурных скобках {…}")
                               .arg(typed, arity == 2 ? QStringLiteral("ы два") : QString()));
                addText(out, typed);
                return j;
            }
            if (node.kind == Node::Figure) {
                node.text = s_.mid(k + 1, close - k - 1);
                if (!plainFigureName(node.text))
                    problem(i,
                            QStringLiteral("имя рисунка «%1» должно быть простым именем файла (без папки и "
                                           "«..»)")
                                .arg(node.text));
            } else {
                node.args.push_back(sequence(k + 1, close));
            }
            k = close + 1;
        }
        node.source = s_.mid(i, k - i);
        out.push_back(std::move(node));
        return k;
    }

    const QString& s_;
    std::vector<qsizetype> match_;
    Nodes nodes_;
    std::vector<Problem> problems_;
};

// ----- Writing ----------------------------------------------------------------------------------

QString plainOf(const Nodes& nodes);

bool simpleRun(const QString& t) {
    if (t.isEmpty())
        return false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        const bool separator =
            (c == u'.' || c == u',') && i > 0 && i + 1 < t.size() && isDigit(t[i - 1]) && isDigit(t[i + 1]);
        if (!c.isLetterOrNumber() && !separator)
            return false;
    }
    return true;
}

// The closing parenthesis of the one at i, or -1.
qsizetype parenEnd(const QString& t, qsizetype i) {
    int depth = 0;
    for (qsizetype k = i; k < t.size(); ++k) {
        depth += t[k] == u'(' ? 1 : t[k] == u')' ? -1 : 0;
        if (depth == 0)
            return k;
    }
    return -1;
}

bool parenthesised(const QString& t) {
    return t.startsWith(u'(') && parenEnd(t, 0) == t.size() - 1;
}

// A part of a fraction, in parentheses when it is more than one term.
QString fractionPart(const QString& shown, const QString& plain) {
    static const QString operators = QStringLiteral(" +-−±∓·×/=<>≈≠≤≥∼");
    const bool compound =
        std::any_of(plain.begin(), plain.end(), [](QChar c) { return operators.contains(c); });
    return compound && !parenthesised(plain) ? QLatin1Char('(') + shown + QLatin1Char(')') : shown;
}

// The exact Unicode form of a node, when it has one.
std::optional<QString> exactOf(const Nodes& nodes);
std::optional<QString> exactOf(const Node& n) {
    switch (n.kind) {
    case Node::Text:
    case Node::Symbol:
        return n.text;
    case Node::Sup:
    case Node::Sub:
        if (const auto inner = exactOf(n.args[0]))
            return scripted(*inner, n.kind == Node::Sup);
        return std::nullopt;
    case Node::Sqrt:
        if (const auto inner = exactOf(n.args[0]);
            inner && (inner->isEmpty() || simpleRun(*inner) || parenthesised(*inner)))
            return QString(QChar(kRoot)) + *inner;
        return std::nullopt;
    case Node::Vec:
        if (const auto inner = exactOf(n.args[0]); inner && inner->size() == 1 && (*inner)[0].isLetter())
            return *inner + QChar(kVecArrow);
        return std::nullopt;
    case Node::Frac:
    case Node::Figure:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> exactOf(const Nodes& nodes) {
    QString out;
    for (const Node& n : nodes) {
        const auto e = exactOf(n);
        if (!e)
            return std::nullopt;
        out += *e;
    }
    return out;
}

QString plainOf(const Node& n) {
    switch (n.kind) {
    case Node::Text:
    case Node::Symbol:
        return n.text;
    case Node::Sup:
    case Node::Sub: {
        const QString inner = plainOf(n.args[0]);
        if (const auto s = scripted(inner, n.kind == Node::Sup))
            return *s;
        const QChar sign = n.kind == Node::Sup ? u'^' : u'_';
        return inner.size() == 1 ? sign + inner : sign + QLatin1Char('(') + inner + QLatin1Char(')');
    }
    case Node::Sqrt: {
        const QString inner = plainOf(n.args[0]);
        return QChar(kRoot) + (inner.isEmpty() || simpleRun(inner) || parenthesised(inner)
                                   ? inner
                                   : QLatin1Char('(') + inner + QLatin1Char(')'));
    }
    case Node::Vec:
        return plainOf(n.args[0]) + QChar(kVecArrow);
    case Node::Frac: {
        const QString a = plainOf(n.args[0]), b = plainOf(n.args[1]);
        return fractionPart(a, a) + QLatin1Char('/') + fractionPart(b, b);
    }
    case Node::Figure:
        return QStringLiteral("[рисунок: %1]").arg(n.text);
    }
    return {};
}

QString plainOf(const Nodes& nodes) {
    QString out;
    for (const Node& n : nodes)
        out += plainOf(n);
    return out;
}

struct Rich {
    const QString& folder;
    const FigureBox& box;

    QString of(const Nodes& nodes) const {
        QString out;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const QString part = of(nodes[i]);
            // A figure stands on a line of its own.
            const bool figure = part.startsWith(QLatin1String("<img "));
            if (figure && i > 0)
                out += QStringLiteral("<br />");
            out += part;
            if (figure && i + 1 < nodes.size())
                out += QStringLiteral("<br />");
        }
        return out;
    }

    QString of(const Node& n) const {
        switch (n.kind) {
        case Node::Text:
        case Node::Symbol:
            return n.text.toHtmlEscaped();
        case Node::Sup:
            return QStringLiteral("<sup>") + of(n.args[0]) + QStringLiteral("</sup>");
        case Node::Sub:
            return QStringLiteral("<sub>") + of(n.args[0]) + QStringLiteral("</sub>");
        case Node::Sqrt:
            return QString(QChar(kRoot)) + QStringLiteral("<span style=\"text-decoration: overline\">") +
                   of(n.args[0]) + QStringLiteral("</span>");
        case Node::Vec:
            return of(n.args[0]) + QChar(kVecArrow);
        case Node::Frac:
            return fractionPart(of(n.args[0]), plainOf(n.args[0])) + QLatin1Char('/') +
                   fractionPart(of(n.args[1]), plainOf(n.args[1]));
        case Node::Figure: {
            const QString path = plainFigureName(n.text) ? figurePath(folder, n.text) : QString();
            const QSize size = path.isEmpty() ? QSize() : figureSize(path, box);
            if (size.isEmpty())
                return plainOf(n).toHtmlEscaped();
            return QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\" />")
                .arg(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toHtmlEscaped())
                .arg(size.width())
                .arg(size.height());
        }
        }
        return {};
    }
};

// ----- Figures ----------------------------------------------------------------------------------

struct Natural {
    QDateTime modified;
    QSize size;
};

QHash<QString, Natural>& naturalSizes() {
    static QHash<QString, Natural> cache;
    return cache;
}

QSize naturalSize(const QString& path) {
    const QDateTime modified = QFileInfo(path).lastModified();
    auto& cache = naturalSizes();
    if (auto it = cache.constFind(path); it != cache.constEnd() && it->modified == modified)
        return it->size;
    const QSize size = QImageReader(path).size();
    if (cache.size() > 256)
        cache.clear();
    cache.insert(path, {modified, size});
    return size;
}

} // namespace

QString figureFolder(const QString& courseFolder) {
    return QDir(courseFolder).filePath(QStringLiteral("data/tests/img"));
}

QString toRichText(const QString& text, const QString& imageFolder, const FigureBox& figures) {
    const Parser parser(text);
    return QStringLiteral("<p style=\"margin: 0; white-space: pre-wrap\">") +
           Rich{imageFolder, figures}.of(parser.nodes()) + QStringLiteral("</p>");
}

QString toPlainText(const QString& text) {
    return plainOf(Parser(text).nodes());
}

std::vector<Problem> problems(const QString& text) {
    return Parser(text).problems();
}

QStringList figureNames(const QString& text) {
    QStringList names;
    const std::function<void(const Nodes&)> walk = [&](const Nodes& nodes) {
        for (const Node& n : nodes) {
            if (n.kind == Node::Figure && !names.contains(n.text))
                names << n.text;
            for (const Nodes& a : n.args)
                walk(a);
        }
    };
    walk(Parser(text).nodes());
    return names;
}

bool plainFigureName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")) ||
        name.contains(u'/') || name.contains(u'\\') || name.contains(u':'))
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20; });
}

QString figurePath(const QString& imageFolder, const QString& name) {
    if (imageFolder.isEmpty() || !plainFigureName(name))
        return {};
    const QDir dir(imageFolder);
    if (const QFileInfo exact(dir.filePath(name)); exact.isFile())
        return exact.filePath();
    const QStringList found = dir.entryList({name}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& f : found)
        if (f.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(f);
    return {};
}

QSize figureSize(const QString& path, const FigureBox& figures) {
    QSize size = naturalSize(path);
    if (size.isEmpty())
        return {};
    size = QSize(std::max(1, qRound(size.width() * figures.scale)),
                 std::max(1, qRound(size.height() * figures.scale)));
    if (!figures.box.isEmpty() &&
        (size.width() > figures.box.width() || size.height() > figures.box.height()))
        size = size.scaled(figures.box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return size;
}

QImage figureImage(const QString& path, QSize pixels) {
    struct Drawn {
        QDateTime modified;
        QImage image;
    };
    static QHash<QString, Drawn> cache;
    const QDateTime modified = QFileInfo(path).lastModified();
    const QString key = QStringLiteral("%1|%2x%3").arg(path).arg(pixels.width()).arg(pixels.height());
    if (auto it = cache.constFind(key); it != cache.constEnd() && it->modified == modified)
        return it->image;
    QImageReader reader(path);
    if (!pixels.isEmpty())
        reader.setScaledSize(pixels);
    const QImage image = reader.read();
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, {modified, image});
    return image;
}

// ----- Import and export ------------------------------------------------------------------------

bool sayable(char32_t c) {
    if (c > 0xFFFF)
        return false;
    const QChar q(static_cast<char16_t>(c));
    bool sup = false;
    return commandFor(q) || scriptPlain(q, sup) || q == QChar(kRoot) || q == QChar(kVecArrow) ||
           q == QChar(kMinus);
}

QString fromUnicode(const QString& text, bool giftEscapes) {
    const QString open = giftEscapes ? QStringLiteral("\\{") : QStringLiteral("{");
    const QString close = giftEscapes ? QStringLiteral("\\}") : QStringLiteral("}");
    const auto group = [&](const QString& inner) { return open + inner + close; };
    QString out;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        bool sup = false;
        if (i + 1 < n && text[i + 1] == QChar(kVecArrow) && c != QChar(kVecArrow)) {
            out += QStringLiteral("\\vec") + group(fromUnicode(QString(c), giftEscapes));
            i += 2;
        } else if (c == QChar(kVecArrow)) {
            out += QStringLiteral("\\vec") + group({});
            ++i;
        } else if (scriptPlain(c, sup)) {
            const bool kind = sup;
            QString run;
            qsizetype k = i;
            bool s2 = false;
            while (k < n && scriptPlain(text[k], s2) && s2 == kind) {
                run += QChar(scriptPlain(text[k], s2));
                ++k;
            }
            const QChar after = k < n ? text[k] : QChar();
            const bool letter = run.size() == 1 && isAsciiLetter(run[0]);
            qsizetype d = run[0] == u'-' || run[0] == u'+' ? 1 : 0;
            bool digits = d < run.size();
            for (qsizetype m = d; m < run.size(); ++m)
                digits = digits && isDigit(run[m]);
            const bool bare = letter || (digits && !isDigit(after));
            out += QChar(kind ? u'^' : u'_') + (bare ? run : group(run));
            i = k;
        } else if (c == QChar(kRoot)) {
            qsizetype k = i + 1;
            if (k < n && text[k] == u'(' && parenEnd(text, k) > k) {
                k = parenEnd(text, k) + 1;
            } else {
                while (k < n &&
                       (text[k].isLetterOrNumber() || ((text[k] == u'.' || text[k] == u',') && k + 1 < n &&
                                                       isDigit(text[k - 1]) && isDigit(text[k + 1]))))
                    ++k;
            }
            out += QStringLiteral("\\sqrt") + group(fromUnicode(text.mid(i + 1, k - i - 1), giftEscapes));
            i = k;
        } else if (const char* name = commandFor(c)) {
            out += QLatin1Char('\\') + QLatin1String(name);
            // A Latin letter written as it is would lengthen the command's name.
            if (i + 1 < n && isAsciiLetter(text[i + 1]) && !(i + 2 < n && text[i + 2] == QChar(kVecArrow)))
                out += open + close;
            ++i;
        } else if (c == QChar(kMinus)) {
            out += QLatin1Char('-');
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

QString toUnicodeSource(const QString& text) {
    const Parser parser(text);
    const Nodes& nodes = parser.nodes();
    // Each part in Unicode where that reads back as written, judged with the rest as typed.
    QString done;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        QString rest;
        for (std::size_t k = i + 1; k < nodes.size(); ++k)
            rest += nodes[k].source;
        const auto exact = exactOf(nodes[i]);
        if (exact && *exact != nodes[i].source && fromUnicode(done + *exact + rest) == text)
            done += *exact;
        else
            done += nodes[i].source;
    }
    return done;
}

std::vector<std::pair<QString, QString>> importTable() {
    std::vector<std::pair<QString, QString>> table;
    table.emplace_back(QStringLiteral("x² x⁻¹ 10²³"), QStringLiteral("x^2 x^{-1} 10^23"));
    table.emplace_back(QStringLiteral("V₀ Vₘₐₓ"), QStringLiteral("V_0 V_{max}"));
    table.emplace_back(QStringLiteral("√2 √(a+b)"), QStringLiteral("\\sqrt{2} \\sqrt{(a+b)}"));
    table.emplace_back(QStringLiteral("F⃗"), QStringLiteral("\\vec{F}"));
    table.emplace_back(QStringLiteral("−"), QStringLiteral("-"));
    for (const Symbol& s : kSymbols)
        if (!cpHolds(QChar(s.unicode)))
            table.emplace_back(QString(QChar(s.unicode)), QLatin1Char('\\') + QLatin1String(s.name));
    for (const Symbol& s : kAlsoRead)
        table.emplace_back(QString(QChar(s.unicode)), QLatin1Char('\\') + QLatin1String(s.name));
    return table;
}

} // namespace ortavia::testing::notation
