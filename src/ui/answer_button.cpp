#include "ui/answer_button.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <cmath>

#include "ui/formula.h"

#include "ui/look.h"

namespace ortavia::ui {
namespace {

bool answers(const QKeyEvent* event) {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space;
}

// The answers of a group that the user can reach, in the order they were made (A to E).
QList<AnswerButton*> reachable(const QWidget* group) {
    QList<AnswerButton*> list;
    for (AnswerButton* b : group->findChildren<AnswerButton*>(Qt::FindDirectChildrenOnly))
        if (!b->isHidden() && b->isEnabled())
            list << b;
    return list;
}

// What a screen reader sees of an answer: a radio button as large as the whole answer, whose
// default action gives the answer; marking it is the second action.
class AnswerAccessible : public QAccessibleWidget {
public:
    explicit AnswerAccessible(AnswerButton* b) : QAccessibleWidget(b, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = answer()->isChecked();
        return s;
    }
    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << pressAction() << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction())
            return {QStringLiteral("Return")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }
    void doAction(const QString& name) override {
        if (!widget()->isEnabled())
            return;
        if (name == pressAction())
            answer()->giveAnswer();
        else if (name == toggleAction())
            answer()->setChecked(true);
        else
            QAccessibleWidget::doAction(name);
    }

private:
    AnswerButton* answer() const { return static_cast<AnswerButton*>(widget()); }
};

QAccessibleInterface* answerInterface(const QString& key, QObject* object) {
    if (key == QLatin1String(AnswerButton::staticMetaObject.className()))
        if (auto* b = qobject_cast<AnswerButton*>(object))
            return new AnswerAccessible(b);
    return nullptr;
}

} // namespace

AnswerButton::AnswerButton(QWidget* parent) : QRadioButton(parent) {
    static const bool installed = (QAccessible::installFactory(answerInterface), true);
    Q_UNUSED(installed);
    setFocusPolicy(Qt::StrongFocus);
    setProperty(look::kOwnFocusFrame, true); // the frame around the text, drawn by the style
    setAccessibleDescription(QStringLiteral("Ответить: двойной щелчок, клавиша Enter или пробел"));
}

void AnswerButton::setText(const QString& text) {
    caption_ = text;
    // The whole answer is on the screen: no tooltip, whose text could be taken as markup.
    setAccessibleName(testing::notation::toPlainText(text));
    render();
}

void AnswerButton::giveAnswer() {
    setChecked(true);
    emit doubleClicked();
}

void AnswerButton::setFigureBox(const testing::notation::FigureBox& box) {
    figures_ = box;
    render();
}

void AnswerButton::render() {
    document_.setDefaultFont(font());
    document_.setDocumentMargin(0);
    formula::show(&document_, caption_, figures_, devicePixelRatioF());
    updateGeometry();
    update();
}

void AnswerButton::changeEvent(QEvent* event) {
    QRadioButton::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        render();
}

QRect AnswerButton::textRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect indicator = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this);
    return rect().adjusted(indicator.right() + 10, 2, -4, -2);
}

int AnswerButton::heightForWidth(int width) const {
    const int textWidth = std::max(1, width - (rect().width() - textRect().width()));
    document_.setTextWidth(textWidth);
    return static_cast<int>(std::ceil(document_.size().height())) + 4;
}

void AnswerButton::clearMarks(const QWidget* group) {
    for (AnswerButton* b : group->findChildren<AnswerButton*>(Qt::FindDirectChildrenOnly)) {
        if (!b->isChecked())
            continue;
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

bool AnswerButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void AnswerButton::mouseDoubleClickEvent(QMouseEvent* event) {
    QRadioButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void AnswerButton::keyPressEvent(QKeyEvent* event) {
    if (answers(event)) {
        // A held key repeats: only its first press answers, so that one key never answers the
        // questions that follow.
        event->accept();
        if (!event->isAutoRepeat())
            giveAnswer();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        event->accept();
        moveFocus(-1);
        return;
    case Qt::Key_Down:
    case Qt::Key_Right:
        event->accept();
        moveFocus(1);
        return;
    default:
        QRadioButton::keyPressEvent(event);
    }
}

void AnswerButton::keyReleaseEvent(QKeyEvent* event) {
    // The press has answered already; the release of that key (on the next question's answer A)
    // does nothing.
    if (answers(event)) {
        event->accept();
        return;
    }
    QRadioButton::keyReleaseEvent(event);
}

void AnswerButton::moveFocus(int step) {
    if (!parentWidget())
        return;
    const QList<AnswerButton*> list = reachable(parentWidget());
    const qsizetype at = list.indexOf(this);
    const qsizetype next = at + step;
    if (at < 0 || next < 0 || next >= list.size())
        return;
    AnswerButton* target = list[next];
    // As in any radio group, a mark moves with the focus; without a mark nothing is marked.
    if (isChecked())
        target->setChecked(true);
    target->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
}

void AnswerButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    const QRect indicator = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this);
    QStyleOptionButton ind = option;
    ind.rect =
        QRect(indicator.left(), (height() - indicator.height()) / 2, indicator.width(), indicator.height());
    style()->drawPrimitive(QStyle::PE_IndicatorRadioButton, &ind, &painter, this);
    const QRect textRect = this->textRect();
    // The caption typeset, in the middle of the button's height (from its top when taller).
    document_.setTextWidth(textRect.width());
    const int top =
        textRect.top() +
        std::max(0, (textRect.height() - static_cast<int>(std::ceil(document_.size().height()))) / 2);
    painter.save();
    painter.translate(textRect.left(), top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    context.clip = QRectF(0, 0, textRect.width(), textRect.bottom() - top + 1);
    document_.documentLayout()->draw(&painter, context);
    painter.restore();
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect.adjusted(-3, 0, 0, 0);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace ortavia::ui
