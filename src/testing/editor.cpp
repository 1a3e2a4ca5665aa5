// The test editor's document: questions, their problems, the history of changes.
#include "testing/editor.h"

#include <QString>
#include <algorithm>
#include <cstdio>

#include "store/codepage.h"
#include "store/error.h"
#include "store/fsys.h"
#include "store/ini.h"
#include "store/textfile.h"
#include "testing/testing.h"

namespace ortavia::testing::editor {
namespace {

constexpr std::size_t kListed = 15; // problems named in a refusal; the rest are counted
constexpr std::size_t kPrefix = 3;  // "A) " in front of a stored answer

bool blank(std::string_view s) {
    return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::string trimmed(std::string_view s) {
    if (blank(s))
        return {};
    const std::size_t b = s.find_first_not_of(" \t");
    return std::string(s.substr(b, s.find_last_not_of(" \t") - b + 1));
}

std::string fieldName(int field) {
    return field == kText ? "Текст вопроса" : "Ответ " + std::string(1, static_cast<char>('A' + field - 1));
}

// What keeps one text from being stored as a value of the test file, or an empty text.
std::string textProblem(int field, const std::string& utf8) {
    const std::string name = fieldName(field);
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\n' || b == '\r')
            return name + ": перенос строки — в файле теста это одна строка.";
        if (b < 0x20 && b != '\t') {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", b);
            return name + ": управляющий символ с кодом " + code + " нельзя сохранить.";
        }
    }
    const std::optional<std::string> text = cp::fromUtf8(utf8);
    if (!text) {
        const QString q = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        for (const char32_t c : q.toUcs4()) {
            const QString one = QString::fromUcs4(&c, 1);
            const QByteArray bytes = one.toUtf8();
            if (cp::fromUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
                continue;
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            return name + ": знака «" + bytes.toStdString() + "» (" + code +
                   ") нет в кодовой странице курса — замените его.";
        }
        return name + ": текст не переводится в кодовую страницу курса.";
    }
    const std::size_t stored = text->size() + (field == kText ? 0 : kPrefix);
    if (stored > ini::kMaxValue)
        return name + ": " + std::to_string(stored) + " байт, а в файле теста не больше " +
               std::to_string(ini::kMaxValue) + ".";
    return {};
}

std::string listed(const std::string& heading, const std::vector<std::string>& lines) {
    std::string text = heading;
    for (std::size_t i = 0; i < lines.size() && i < kListed; ++i)
        text += "\n• " + lines[i];
    if (lines.size() > kListed)
        text += "\n… и ещё " + std::to_string(lines.size() - kListed) + ".";
    return text;
}

} // namespace

std::vector<std::string> problems(const Question& q) {
    std::vector<std::string> out;
    if (blank(q.text))
        out.emplace_back("нет текста вопроса.");
    const auto filled = std::count_if(q.answers.begin(), q.answers.end(), [](auto& a) { return !blank(a); });
    if (filled < 2)
        out.push_back("ответов " + std::to_string(filled) + ", а нужно от двух до пяти.");
    if (q.right < 0 || q.right >= kAnswers)
        out.emplace_back("правильный ответ не выбран.");
    else if (blank(q.answers[static_cast<std::size_t>(q.right)]))
        out.emplace_back("правильный ответ пуст.");
    for (int field = kText; field <= kAnswers; ++field)
        if (std::string why =
                textProblem(field, field == kText ? q.text : q.answers[static_cast<std::size_t>(field - 1)]);
            !why.empty())
            out.push_back(std::move(why));
    return out;
}

Question fromItem(const authoring::Item& item) {
    Question q;
    q.text = cp::toUtf8(item.text);
    for (std::size_t k = 0; k < item.answers.size() && k < kAnswers; ++k)
        q.answers[k] = cp::toUtf8(item.answers[k]);
    q.right = item.right;
    return q;
}

authoring::Item toItem(const Question& q) {
    authoring::Item item;
    item.text = cp::fromUtf8(trimmed(q.text)).value_or(std::string());
    for (std::size_t k = 0; k < kAnswers; ++k) {
        if (blank(q.answers[k]))
            continue;
        if (static_cast<int>(k) == q.right)
            item.right = static_cast<int>(item.answers.size());
        item.answers.push_back(cp::fromUtf8(trimmed(q.answers[k])).value_or(std::string()));
    }
    return item;
}

// ---------------------------------------------------------------------------------------------
// The history: every change is a step that can be undone and redone.

class Step : public QUndoCommand {
protected:
    explicit Step(Document& d) : doc_(d) {}
    void put(int i, Question q) { doc_.put(i, std::move(q)); }
    void place(int at, Question q) { doc_.place(at, std::move(q)); }
    Question take(int i) { return doc_.take(i); }
    void notify(bool structure, int question) { doc_.notify({structure, question}); }
    Document& doc_;
};

namespace {

// One question before and after a change of its fields; typing into one field merges.
class Edit : public Step {
public:
    Edit(Document& d, int i, int field, Question before, Question after)
        : Step(d), i_(i), field_(field), before_(std::move(before)), after_(std::move(after)) {}
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* o = static_cast<const Edit*>(other);
        if (o->i_ != i_ || o->field_ != field_ || field_ == kRight)
            return false;
        after_ = o->after_;
        return true;
    }
    void redo() override { put(i_, after_); }
    void undo() override { put(i_, before_); }

private:
    int i_, field_;
    Question before_, after_;
};

class Insert : public Step {
public:
    Insert(Document& d, int at, Question q) : Step(d), at_(at), q_(std::move(q)) {}
    void redo() override {
        place(at_, q_);
        notify(true, at_);
    }
    void undo() override {
        take(at_);
        notify(true, std::min(at_, doc_.size() - 1));
    }

private:
    int at_;
    Question q_;
};

class Remove : public Step {
public:
    Remove(Document& d, int at) : Step(d), at_(at) {}
    void redo() override {
        q_ = take(at_);
        notify(true, std::min(at_, doc_.size() - 1));
    }
    void undo() override {
        place(at_, q_);
        notify(true, at_);
    }

private:
    int at_;
    Question q_;
};

class Move : public Step {
public:
    Move(Document& d, int from, int to) : Step(d), from_(from), to_(to) {}
    void redo() override { shift(from_, to_); }
    void undo() override { shift(to_, from_); }

private:
    void shift(int from, int to) {
        place(to, take(from));
        notify(true, to);
    }
    int from_, to_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The document

Document::Document() = default;
Document::~Document() {
    changed = nullptr; // the history's steps are deleted with it, nothing is shown any more
}

void Document::reset(std::vector<Question> questions) {
    undo_.clear();
    questions_ = std::move(questions);
    complete_.assign(questions_.size(), true);
    incomplete_ = 0;
    for (std::size_t i = 0; i < questions_.size(); ++i) {
        complete_[i] = problems(questions_[i]).empty();
        incomplete_ += !complete_[i];
    }
    undo_.setClean();
    notify({true, questions_.empty() ? -1 : 0});
}

void Document::put(int i, Question q) {
    const auto at = static_cast<std::size_t>(i);
    const bool ok = problems(q).empty();
    incomplete_ += int(complete_[at]) - int(ok);
    complete_[at] = ok;
    questions_[at] = std::move(q);
    notify({false, i});
}

void Document::place(int at, Question q) {
    const bool ok = problems(q).empty();
    incomplete_ += !ok;
    complete_.insert(complete_.begin() + at, ok);
    questions_.insert(questions_.begin() + at, std::move(q));
}

Question Document::take(int i) {
    const auto at = static_cast<std::size_t>(i);
    incomplete_ -= !complete_[at];
    Question q = std::move(questions_[at]);
    complete_.erase(complete_.begin() + i);
    questions_.erase(questions_.begin() + i);
    return q;
}

void Document::notify(Change c) const {
    if (changed)
        changed(c);
}

void Document::setField(int i, int field, std::string value) {
    Question after = at(i);
    std::string& target = field == kText ? after.text : after.answers[static_cast<std::size_t>(field - 1)];
    if (target == value)
        return;
    target = std::move(value);
    undo_.push(new Edit(*this, i, field, at(i), std::move(after)));
}

void Document::setRight(int i, int field) {
    if (at(i).right == field)
        return;
    Question after = at(i);
    after.right = field;
    undo_.push(new Edit(*this, i, kRight, at(i), std::move(after)));
}

void Document::insert(int at, Question q) {
    undo_.push(new Insert(*this, std::clamp(at, 0, size()), std::move(q)));
}

void Document::duplicate(int i) {
    undo_.push(new Insert(*this, i + 1, at(i)));
}

void Document::remove(int i) {
    undo_.push(new Remove(*this, i));
}

void Document::move(int i, int to) {
    if (to < 0 || to >= size() || to == i)
        return;
    undo_.push(new Move(*this, i, to));
}

int Document::find(std::string_view utf8, int from) const {
    const QString needle = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    if (needle.isEmpty() || questions_.empty())
        return -1;
    const auto holds = [&](const std::string& text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
            .contains(needle, Qt::CaseInsensitive);
    };
    for (int step = 1; step <= size(); ++step) {
        const int i = ((from < 0 ? -1 : from) + step) % size();
        const Question& q = at(i);
        if (holds(q.text) || std::any_of(q.answers.begin(), q.answers.end(), holds))
            return i;
    }
    return -1;
}

std::vector<std::string> Document::saveProblems() const {
    if (questions_.empty())
        return {"В тесте нет ни одного вопроса."};
    std::vector<std::string> out;
    for (int i = 0; i < size(); ++i)
        if (!complete(i))
            for (const std::string& p : problems(at(i)))
                out.push_back("Вопрос " + std::to_string(i + 1) + ": " + p);
    return out;
}

std::vector<authoring::Item> Document::items() const {
    if (const std::vector<std::string> why = saveProblems(); !why.empty())
        throw Error(listed("Тест не сохранён, ничего не записано. Исправьте:", why));
    std::vector<authoring::Item> out;
    out.reserve(questions_.size());
    for (const Question& q : questions_)
        out.push_back(toItem(q));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Opening and saving

std::vector<Question> questionsOf(const std::vector<authoring::Item>& items) {
    std::vector<Question> out;
    out.reserve(items.size());
    for (const authoring::Item& item : items)
        out.push_back(fromItem(item));
    return out;
}

std::vector<Question> openSource(std::string_view path) {
    const std::vector<std::string> lines = authoring::readSource(path);
    const authoring::Format format = authoring::detectFormat(lines);
    const authoring::Parsed parsed = authoring::parse(lines, format);
    if (!parsed.refusals.empty()) {
        std::vector<std::string> why;
        for (const authoring::Refusal& r : parsed.refusals)
            why.push_back("строка " + std::to_string(r.line) + ": " + r.text);
        throw Error(listed("Файл вопросов \"" + fsys::displayName(path) + "\" (формат " +
                               std::string(authoring::formatName(format)) + ") не открыт:",
                           why));
    }
    std::vector<Question> out;
    out.reserve(parsed.items.size());
    for (const authoring::Item& item : parsed.items)
        out.push_back(fromItem(item));
    return out;
}

void exportTo(const Document& document, std::string_view path, authoring::Format format) {
    const std::string text = authoring::exportText(document.items(), format);
    try {
        textfile::replace(path, text);
    } catch (const Error& e) {
        throw Error("Не удалось записать \"" + fsys::displayName(path) + "\": " + e.what() +
                    " Прежний файл, если он был, не изменён.");
    }
}

} // namespace ortavia::testing::editor
