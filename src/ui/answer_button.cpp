#include "ui/answer_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace ortavia::ui {

AnswerButton::AnswerButton(QWidget* parent) : QRadioButton(parent) {}

void AnswerButton::setText(const QString& text) {
    caption_ = text;
    setToolTip(text);
    update();
}

void AnswerButton::mouseDoubleClickEvent(QMouseEvent* event) {
    QRadioButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
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
    const QRect textRect = rect().adjusted(indicator.right() + 10, 2, -4, -2);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, caption_);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect.adjusted(-3, 0, 0, 0);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace ortavia::ui
