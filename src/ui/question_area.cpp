#include "ui/question_area.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextEdit>
#include <cmath>

#include "ui/answer_button.h"
#include "ui/design.h"
#include "ui/formula.h"

namespace ortavia::ui {
namespace {

// The design of the test screen: the question box, the answers' frame, the first answer's row and
// its letter, the step from one row to the next, the screen's height.
constexpr QRect kQuestion(40, 84, 840, 170);
constexpr QRect kAnswers(40, 270, 840, 430);
constexpr QRect kRow(52, 12, 770, 72);
constexpr QPoint kLetter(16, 22);
constexpr int kRowStep = 82;
constexpr int kScreenHeight = 737;
constexpr int kBottomMargin = 37; // below the answers' frame
// A figure is never made smaller than this to keep the screen from scrolling.
constexpr int kSmallestFigure = 120;
// The least height of an answer's row under a question with a figure.
constexpr int kCompactRow = 46;
// Figures of an answer are held to this height.
constexpr int kAnswerFigure = 160;

} // namespace

QuestionArea::QuestionArea(QWidget* parent) : QScrollArea(parent) {
    setObjectName(QStringLiteral("QuestionArea"));
    setAccessibleName(QStringLiteral("Вопрос и ответы"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("QuestionContent"));
    content->setAutoFillBackground(false);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
}

QuestionArea::~QuestionArea() = default;

void QuestionArea::setDesign(QTextEdit* question, QFrame* answers,
                             const std::array<AnswerButton*, 5>& buttons,
                             const std::array<QLabel*, 5>& letters) {
    question_ = question;
    answers_ = answers;
    buttons_ = buttons;
    letters_ = letters;
    question_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    question_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    question_->viewport()->installEventFilter(this);
    question_->installEventFilter(this); // Enter on the question shows its first figure large
    for (AnswerButton* b : buttons_)
        b->installEventFilter(this); // the answer that gets the focus is scrolled into view
    content()->resize(size());
    layout_ = std::make_unique<design::Layout>(content());
}

void QuestionArea::setQuestion(const QString& text) {
    text_ = text;
    relayout();
}

void QuestionArea::setScale(double scale) {
    scale_ = scale;
    relayout();
}

void QuestionArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

int QuestionArea::questionHeight(QSize figureBox) const {
    QTextDocument* doc = question_->document();
    formula::show(doc, text_, {figureBox, scale_}, question_->devicePixelRatioF());
    const int frame = 2 * question_->frameWidth();
    doc->setTextWidth(design::scaled(kQuestion.width(), scale_) - frame);
    return static_cast<int>(std::ceil(doc->size().height())) + frame;
}

void QuestionArea::relayout() {
    if (!layout_)
        return;
    const double s = scale_;
    const auto S = [s](int v) { return design::scaled(v, s); };
    layout_->apply(s);

    // The answers: each row as high as its text needs, at least its design; under a question with
    // a figure the rows take only what their texts need, down to kCompactRow, to leave the figure
    // more room.
    const bool compact = !testing::notation::figureNames(text_).isEmpty();
    std::array<int, 5> grown{};
    int rowsGrown = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        AnswerButton* b = buttons_[k];
        const QRect row = design::scaled(kRow.translated(0, kRowStep * static_cast<int>(k)), s);
        const int least = compact ? S(kCompactRow) : row.height();
        if (!b->isHidden()) {
            b->setFigureBox({QSize(row.width() - S(40), S(kAnswerFigure)), s});
            grown[k] = std::max(least, b->heightForWidth(row.width())) - row.height();
        } else {
            grown[k] = least - row.height();
        }
        rowsGrown += grown[k];
    }
    // The question: its text whole; a figure as large as the room left on the screen allows,
    // but not smaller than kSmallestFigure (the screen scrolls then) nor larger than its natural size.
    const QRect question = design::scaled(kQuestion, s);
    const int figureWidth = question.width() - 2 * question_->frameWidth() - 12;
    const int textOnly = questionHeight({figureWidth, 1});
    const int fixed = design::scaled(kAnswers, s).bottom() + rowsGrown + S(kBottomMargin) - question.height();
    // The room of the viewport, without scroll bars (the viewport itself is placed only once the
    // area is shown).
    const QSize view = maximumViewportSize();
    const int room = view.height() - fixed - textOnly;
    const int questionNeeds = questionHeight({figureWidth, std::max(S(kSmallestFigure), room)});
    const int questionGrown = std::max(0, questionNeeds - question.height());

    question_->setGeometry(question.adjusted(0, 0, 0, questionGrown));
    answers_->setGeometry(
        design::scaled(kAnswers, s).translated(0, questionGrown).adjusted(0, 0, 0, rowsGrown));
    int below = 0;
    for (std::size_t k = 0; k < 5; ++k) {
        const int step = kRowStep * static_cast<int>(k);
        buttons_[k]->setGeometry(
            design::scaled(kRow.translated(0, step), s).translated(0, below).adjusted(0, 0, 0, grown[k]));
        letters_[k]->move(S(kLetter.x()), S(kLetter.y() + step) + below);
        below += grown[k];
    }
    const int height = std::max(S(kScreenHeight), answers_->geometry().bottom() + 1 + S(kBottomMargin));
    const bool scrolls = height > view.height();
    content()->resize(view.width() - (scrolls ? verticalScrollBar()->sizeHint().width() : 0), height);
}

bool QuestionArea::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* b = qobject_cast<AnswerButton*>(watched))
            ensureWidgetVisible(b, 0, design::scaled(10, scale_));
    if (question_ && watched == question_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QStringList names = testing::notation::figureNames(text_);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !names.isEmpty())
            if (const QString path = testing::notation::figurePath(formula::courseFigures(), names.front());
                !path.isEmpty()) {
                formula::showLarge(window(), path);
                return true;
            }
    }
    if (question_ && watched == question_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int at = question_->cursorForPosition(mouse->position().toPoint()).position();
        for (int p : {at, at - 1}) {
            const QString path = formula::figureAt(question_->document(), p);
            if (!path.isEmpty()) {
                formula::showLarge(window(), path);
                return true;
            }
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace ortavia::ui
