// The progress screen: the grades of one person, and the administrator's user picker.
#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <functional>

#include "course/course.h"
#include "ui/components.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {

void TForm1::NiClick() {
    showPanels({Panel2}, {Panel1, Panel3, Panel4, Panel6});
    Label5->setText(toQ(signedInName_));
    Label5->adjustSize();
    LabelRight->setVisible(false); // shown by the end of a run only
    showGrades();
    if (ComboBox1->isVisibleTo(this))
        ComboBox1->setFocus();
    else
        findComponentAs<QWidget>(this, QStringLiteral("SpeedButton4"))->setFocus();
}

void TForm1::showRightAnswers() {
    // Only at the end of a run, beside the grade it earned; the grade table stays the lasting
    // record, so the menu command and the administrator's picker show no count.
    LabelRight->setText(QStringLiteral("Правильных ответов: %1 из %2").arg(right_).arg(questionCount_));
    LabelRight->setVisible(true);
}

void TForm1::showGrades() {
    const course::Grades grades = course_.grades();
    for (int k = 1; k <= 12; ++k)
        gradeLabels_[k - 1]->setText(QString::number(grades[static_cast<std::size_t>(k - 1)]));
}

void TForm1::ComboBox1Select() {
    if (!administratorSignedIn())
        return;
    course_.pickUser(fromQ(ComboBox1->currentText()));
    LabelRight->setVisible(false); // another student's grades: the count of this run does not apply
    showGrades();
}

namespace {

// Tells the picker which keys the user presses, before its edit field handles them.
class KeyWatch : public QObject {
public:
    KeyWatch(QObject* parent, std::function<void(const QKeyEvent*)> onKey)
        : QObject(parent), onKey_(std::move(onKey)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            onKey_(static_cast<const QKeyEvent*>(event));
        return false;
    }

private:
    std::function<void(const QKeyEvent*)> onKey_;
};

bool deletes(const QKeyEvent* key) {
    return key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
           key->matches(QKeySequence::Cut) || key->matches(QKeySequence::DeleteStartOfWord) ||
           key->matches(QKeySequence::DeleteEndOfWord) || key->matches(QKeySequence::DeleteEndOfLine) ||
           key->matches(QKeySequence::DeleteCompleteLine);
}

} // namespace

void TForm1::watchPickerKeys() {
    QLineEdit* edit = ComboBox1->lineEdit();
    edit->installEventFilter(
        new KeyWatch(edit, [this](const QKeyEvent* key) { pickerDeleting_ = deletes(key); }));
}

void TForm1::completeUserName(const QString& typed) {
    // Typed text is completed to the first user whose name begins with it, letter case ignored;
    // choosing a different user that way loads their grades at once. A deleting key (the
    // completed part among what it deletes) completes nothing, so that the typed text can be
    // corrected; a letter typed over a selection, or the next letter of the completion, completes.
    const bool deleting = pickerDeleting_;
    pickerDeleting_ = false;
    if (typed.isEmpty() || deleting || !administratorSignedIn())
        return;
    int found = -1;
    for (int i = 0; i < ComboBox1->count() && found < 0; ++i)
        if (ComboBox1->itemText(i).startsWith(typed, Qt::CaseInsensitive))
            found = i;
    if (found < 0)
        return;
    QLineEdit* edit = ComboBox1->lineEdit();
    const QString item = ComboBox1->itemText(found);
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(found);
    }
    edit->setText(item);
    edit->setSelection(typed.size(), item.size() - typed.size());
    if (found != chosenUser_) {
        chosenUser_ = found;
        ComboBox1Select();
    }
}

void TForm1::SpeedButton4Click() {
    showPanels({Panel1}, {Panel2, Panel3, Panel4, Panel6});
    action("Ni")->setVisible(true);
    action("N0")->setVisible(true);
}

} // namespace ortavia::ui
