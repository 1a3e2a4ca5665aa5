#pragma once
// An answer of the test screen: a radio button that answers on a double click only; a single
// click just marks it. Long answers wrap over several lines.
#include <QRadioButton>

namespace ortavia::ui {

class AnswerButton : public QRadioButton {
    Q_OBJECT
public:
    explicit AnswerButton(QWidget* parent = nullptr);
    void setText(const QString& text); // the caption, wrapped to the button's width
    QString text() const { return caption_; }

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

} // namespace ortavia::ui
