#include "testing/run.h"

#include <QString>

#include "accounts/accounts.h"
#include "store/codepage.h"
#include "store/error.h"
#include "store/textfile.h"
#include "testing/testing.h"

namespace ortavia::testing {

namespace {
constexpr int kMostQuestions = 100000;
}

Run::Run(std::string testName, std::string userName, const Options& options, std::mt19937& engine)
    : test_(std::move(testName)), user_(std::move(userName)), shuffle_(options.shuffleAnswers) {
    if (const std::optional<std::string> refusal = testFileRefusal(test_))
        throw Error(*refusal);
    // The whole file once: every question of the run comes from this one version of it.
    const TestSnapshot snapshot(test_);
    const int count = snapshot.questionCount();
    std::vector<int> asked = drawnQuestions(snapshot, count, options.draw, engine);
    if (asked.empty()) {
        // Every question in file order; a count far beyond what any test holds is a broken file,
        // refused rather than held in memory question by question.
        if (count > kMostQuestions)
            throw Error("В тесте " + cp::toUtf8(test_) + " записано " + std::to_string(count) +
                        " вопросов, больше " + std::to_string(kMostQuestions) +
                        ". Тест не может быть начат; сообщите администратору.");
        for (int n = 1; n <= count; ++n)
            asked.push_back(n);
    }
    for (const int n : asked) {
        Item item;
        item.fileNumber = n;
        item.text = snapshot.question(n);
        for (int k = 1; k <= 5; ++k)
            item.answers[static_cast<std::size_t>(k - 1)] = snapshot.answer(n, k);
        item.right = snapshot.rightAnswer(n);
        item.places = answerOrder(shuffle_, engine);
        questions_.push_back(std::move(item));
    }
}

ShownQuestion Run::question() const {
    ShownQuestion shown;
    shown.count = count();
    shown.number = std::min(current_, count());
    const Item& item = questions_[static_cast<std::size_t>(shown.number - 1)];
    shown.text = item.text;
    for (std::size_t place = 0; place < 5; ++place) {
        const std::string& text = item.answers[static_cast<std::size_t>(item.places[place] - 1)];
        // A shuffled answer's letter prefix would name the wrong place.
        if (shuffle_) {
            const QString bare = withoutLetterPrefix(QString::fromStdString(cp::toUtf8(text)));
            shown.answers[place] = cp::fromUtf8(bare.toStdString()).value_or(text);
        } else {
            shown.answers[place] = text;
        }
        // The blank the encipher tool leaves where a source line marked the right answer would
        // tell the right answer apart: no answer is shown with blanks at its end.
        std::string& a = shown.answers[place];
        a.erase(a.find_last_not_of(' ') == std::string::npos ? 0 : a.find_last_not_of(' ') + 1);
    }
    return shown;
}

Run::Taken Run::answer(int n, int place, std::string* logProblem) {
    if (n >= 1 && n < current_)
        return Taken::Repeat;
    if (n != current_ || answered() || place < 1 || place > 5)
        return Taken::Refused;
    const Item& item = questions_[static_cast<std::size_t>(n - 1)];
    const int chosen = item.places[static_cast<std::size_t>(place - 1)];
    const bool isRight = item.right == std::to_string(chosen);
    if (isRight)
        ++right_;
    try {
        textfile::appendLine(kAnswerLog, answerLogLine(user_, journalTime(), journalDate(), test_,
                                                       item.fileNumber, chosen, isRight));
    } catch (const Error& e) {
        if (logProblem)
            *logProblem = e.what();
    }
    ++current_;
    return answered() ? Taken::Last : Taken::Next;
}

int Run::grade() const {
    return gradeFor(right_, count());
}

void Run::finish(std::string_view journalName, Grades& grades, bool writeRecord) {
    if (!answered() || finished_)
        throw Error("Тест ещё не закончен.");
    finished_ = true;
    const int g = grade();
    const int entry = entryNumber(test_);
    if (entry >= 1 && entry <= 12)
        grades[static_cast<std::size_t>(entry - 1)] = static_cast<std::uint8_t>(g);
    textfile::appendLine(journalName, journalLine(user_, journalTime(), journalDate(), test_, g));
    if (writeRecord)
        accounts::saveGrades(user_, grades);
}

} // namespace ortavia::testing
