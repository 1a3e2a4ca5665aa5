#pragma once
// An answer of the test screen: a radio button that answers on a double click, or on Enter or
// Space while it has the focus; a single click just marks it. The arrow keys move the focus (and a
// mark, where there is one) between the answers of its group. The answer is shown typeset (the
// question notation, figures included) and wraps over as many lines as it needs: heightForWidth
// gives the height that shows it whole. Its Unicode plain text is the button's accessible name.
// For a screen reader the answer is the whole row, and its default action answers as Enter does.
#include <QRadioButton>
#include <QTextDocument>

#include "testing/notation.h"

namespace ortavia::ui {

class AnswerButton : public QRadioButton {
    Q_OBJECT
public:
    explicit AnswerButton(QWidget* parent = nullptr);
    void setText(const QString& text); // the caption (notation), wrapped to the button's width
    QString text() const { return caption_; }
    void giveAnswer(); // marks the answer and gives it, as Enter does
    // How the figures of the caption are sized.
    void setFigureBox(const testing::notation::FigureBox& box);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

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
    void changeEvent(QEvent* event) override;

private:
    void moveFocus(int step);
    QRect textRect() const;
    void render();

    QString caption_;
    testing::notation::FigureBox figures_;
    mutable QTextDocument document_; // the caption typeset; its width follows the button's
};

} // namespace ortavia::ui
