#pragma once
// An answer of the test screen: a radio button that answers on a double click, or on Enter or
// Space while it has the focus; a single click just marks it. The arrow keys move the focus (and a
// mark, where there is one) between the answers of its group. Long answers wrap over several
// lines; the answer text is also the button's accessible name. For a screen reader the answer is
// the whole row, and its default action answers as Enter does.
#include <QRadioButton>

namespace ortavia::ui {

class AnswerButton : public QRadioButton {
    Q_OBJECT
public:
    explicit AnswerButton(QWidget* parent = nullptr);
    void setText(const QString& text); // the caption, wrapped to the button's width
    QString text() const { return caption_; }
    void giveAnswer(); // marks the answer and gives it, as Enter does

    // Takes the mark off every answer of the group (an auto-exclusive group keeps one otherwise).
    static void clearMarks(const QWidget* group);

signals:
    void doubleClicked(); // a double click, or Enter or Space: the answer is given

protected:
    bool hitButton(const QPoint& pos) const override; // the whole answer, its text too
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void moveFocus(int step);

    QString caption_;
};

} // namespace ortavia::ui
