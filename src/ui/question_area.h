#pragma once
// The test screen's question and answers: a scroll area over the whole screen whose content is laid
// out from the screen's design at the screen's scale, then grown where a question or an answer
// needs more room than its design gives it (a long text, a figure). When the content is taller
// than the screen, the screen scrolls. Figures are sized so that the question and its answers fit
// the screen where they can, never larger than their natural size (times the scale); a click on a
// figure, or Enter on the question, shows it large.
#include <QScrollArea>
#include <array>
#include <memory>

class QFrame;
class QLabel;
class QTextEdit;

namespace ortavia::ui {

class AnswerButton;

namespace design {
class Layout;
}

class QuestionArea : public QScrollArea {
public:
    explicit QuestionArea(QWidget* parent);
    ~QuestionArea() override;

    // The widget the screen's controls are placed on, in design coordinates of the screen.
    QWidget* content() const { return widget(); }

    // After the controls have been built on the content at their design: the question box, the
    // answers' frame, the answers A ... E and their letters.
    void setDesign(QTextEdit* question, QFrame* answers, const std::array<AnswerButton*, 5>& buttons,
                   const std::array<QLabel*, 5>& letters);

    // The question's text (notation); laid out anew.
    void setQuestion(const QString& text);
    // The scale the screen is shown at; laid out anew.
    void setScale(double scale);
    // Lays the content out again (after the answers' texts or visibility changed).
    void relayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int questionHeight(QSize figureBox) const; // the question box's height that shows the text whole

    std::unique_ptr<design::Layout> layout_;
    QTextEdit* question_ = nullptr;
    QFrame* answers_ = nullptr;
    std::array<AnswerButton*, 5> buttons_{};
    std::array<QLabel*, 5> letters_{};
    QString text_;
    double scale_ = 1;
};

} // namespace ortavia::ui
