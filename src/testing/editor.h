#pragma once
// The test editor's document: the questions of one test as the administrator writes them, what
// keeps each of them from being saved, and every change as a command that can be undone and
// redone. Opened from a test of the course, from a question source (plain, Aiken, GIFT) or empty;
// saved as test N of the course exactly as "ortavia-tests install" puts a test in place, or
// exported to a question source.
//
// While a question is being written its texts are held as typed (UTF-8): a character the course
// code page cannot hold stays until it is replaced, and is named meanwhile. Saving converts to the
// code page and is refused as long as any question is not complete.
#include <QUndoStack>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "testing/authoring.h"

namespace ortavia::testing::editor {

inline constexpr int kAnswers = 5;

// The parts of a question a change can touch: its text, answer field 1 ... 5, the right answer.
inline constexpr int kText = 0;
inline constexpr int kRight = kAnswers + 1;

struct Question {
    std::string text;                          // UTF-8, as typed
    std::array<std::string, kAnswers> answers; // UTF-8; an empty (or blank) field is no answer
    int right = -1;                            // the field of the right answer, 0 ... 4, or -1
    bool operator==(const Question&) const = default;
};

// What keeps a question from being saved, one short Russian text each; empty when it is complete:
// no text, fewer than two answers, no right answer (or the right one empty), a character the code
// page cannot hold (named, with its code), a line break or control character, a text too long.
std::vector<std::string> problems(const Question& q);

// A question of a test file or a source, and back. The answers of an item fill fields 1 ... n; a
// question saved keeps its filled fields in order (an empty field between them is left out).
Question fromItem(const authoring::Item& item);
authoring::Item toItem(const Question& q); // q complete; its texts trimmed, in the code page

// What a change did, for the window to show: one question's fields, or the list itself (added,
// deleted, moved, opened); `question` is the one to show afterwards (-1: none).
struct Change {
    bool structure = false;
    int question = -1;
};

class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Called after every change, its undo and its redo.
    std::function<void(const Change&)> changed;

    int size() const { return static_cast<int>(questions_.size()); }
    const Question& at(int i) const { return questions_[static_cast<std::size_t>(i)]; }
    bool complete(int i) const { return complete_[static_cast<std::size_t>(i)]; }
    int incompleteCount() const { return incomplete_; }

    // A test freshly opened: its questions, no history, nothing to save.
    void reset(std::vector<Question> questions);
    bool modified() const { return !undo_.isClean(); }
    void markSaved() { undo_.setClean(); }

    // The changes; each one is a step of the history. Typing into one field of one question is
    // one step until another field or question is changed.
    void setField(int i, int field, std::string value); // kText or 1 ... kAnswers
    void setRight(int i, int field);                    // 0 ... 4, or -1
    void insert(int at, Question q = {});
    void duplicate(int i);
    void remove(int i);
    void move(int i, int to);

    QUndoStack& history() { return undo_; }
    void undo() { undo_.undo(); }
    void redo() { undo_.redo(); }

    // The next question after `from` (wrapping round, `from` itself last) whose text or one of whose
    // answers holds the text, letter case aside; -1 when none does.
    int find(std::string_view utf8, int from) const;

    // Everything that keeps the test from being saved, question by question ("Вопрос 2: …").
    std::vector<std::string> saveProblems() const;
    // The questions as saved; throws Error listing the problems while there are any.
    std::vector<authoring::Item> items() const;

private:
    friend class Step;
    void put(int i, Question q);
    void place(int at, Question q);
    Question take(int i);
    void notify(Change c) const;

    std::vector<Question> questions_;
    std::vector<bool> complete_;
    int incomplete_ = 0;
    QUndoStack undo_;
};

// The questions of the items of an installed test (as the course gives them) for editing.
std::vector<Question> questionsOf(const std::vector<authoring::Item>& items);
// The questions of a question source (a code page path or fsys::rawPath) in any encoding and
// format the import reads; throws Error listing the questions that cannot be taken (nothing is
// opened then).
std::vector<Question> openSource(std::string_view path);

// Writes the document as a question source in the format (UTF-8); a failure leaves an existing
// file whole.
void exportTo(const Document& document, std::string_view path, authoring::Format format);

} // namespace ortavia::testing::editor
