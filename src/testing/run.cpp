#include "testing/run.h"

#include <QJsonArray>
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
    chosen_.push_back(place);
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

QString keptText(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string keptBytes(const QJsonValue& v) {
    if (!v.isString())
        throw Error("bad run record");
    const QString s = v.toString();
    for (const QChar c : s)
        if (c.unicode() > 0xFF)
            throw Error("bad run record");
    return s.toLatin1().toStdString();
}

namespace {

int numberIn(const QJsonValue& v, int lowest, int highest) {
    const int n = v.toInt(lowest - 1);
    if (!v.isDouble() || n < lowest || n > highest)
        throw Error("bad run record");
    return n;
}

} // namespace

QJsonObject Run::progress() const {
    QJsonArray answers;
    for (std::size_t i = 0; i < chosen_.size(); ++i)
        answers.append(QJsonArray{static_cast<int>(i) + 1, chosen_[i]});
    return {{"answers", answers}, {"right", right_}, {"finished", finished_}};
}

QJsonObject Run::saved() const {
    QJsonArray questions;
    for (const Item& item : questions_) {
        QJsonArray texts, places;
        for (std::size_t k = 0; k < 5; ++k) {
            texts.append(keptText(item.answers[k]));
            places.append(item.places[k]);
        }
        questions.append(QJsonObject{{"file", item.fileNumber},
                                     {"text", keptText(item.text)},
                                     {"answers", texts},
                                     {"right", keptText(item.right)},
                                     {"places", places}});
    }
    QJsonObject record = progress();
    record.insert(QStringLiteral("test"), keptText(test_));
    record.insert(QStringLiteral("user"), keptText(user_));
    record.insert(QStringLiteral("shuffle"), shuffle_);
    record.insert(QStringLiteral("questions"), questions);
    return record;
}

std::unique_ptr<Run> Run::restored(const QJsonObject& record) {
    std::unique_ptr<Run> run(new Run);
    run->test_ = keptBytes(record.value(QLatin1String("test")));
    run->user_ = keptBytes(record.value(QLatin1String("user")));
    run->shuffle_ = record.value(QLatin1String("shuffle")).toBool();
    for (const QJsonValue q : record.value(QLatin1String("questions")).toArray()) {
        Item item;
        item.fileNumber = numberIn(q[QLatin1String("file")], 1, kMostQuestions);
        item.text = keptBytes(q[QLatin1String("text")]);
        item.right = keptBytes(q[QLatin1String("right")]);
        const QJsonArray texts = q[QLatin1String("answers")].toArray();
        const QJsonArray places = q[QLatin1String("places")].toArray();
        if (texts.size() != 5 || places.size() != 5)
            throw Error("bad run record");
        for (qsizetype k = 0; k < 5; ++k) {
            item.answers[static_cast<std::size_t>(k)] = keptBytes(texts[k]);
            item.places[static_cast<std::size_t>(k)] = numberIn(places[k], 1, 5);
        }
        run->questions_.push_back(std::move(item));
    }
    if (run->questions_.empty())
        throw Error("bad run record");
    const QJsonArray answers = record.value(QLatin1String("answers")).toArray();
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const QJsonArray a = answers[i].toArray();
        if (a.size() != 2 || numberIn(a[0], 1, run->count()) != i + 1)
            throw Error("bad run record");
        run->chosen_.push_back(numberIn(a[1], 1, 5));
    }
    run->current_ = static_cast<int>(run->chosen_.size()) + 1;
    run->right_ = numberIn(record.value(QLatin1String("right")), 0, run->current_ - 1);
    run->finished_ = record.value(QLatin1String("finished")).toBool();
    if (run->current_ > run->count() + 1 || (run->finished_ && !run->answered()))
        throw Error("bad run record");
    return run;
}

} // namespace ortavia::testing
