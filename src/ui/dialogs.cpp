#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <deque>
#include <optional>

namespace ortavia::ui::dialogs {
namespace {

struct TestState {
    bool on = false;
    std::deque<Answer> nextBoxes;
    std::optional<QString> nextFile;
    QString lastFolder;
    QList<ShownBox> shown;
};

TestState& state() {
    static TestState s;
    return s;
}

QString captionOf(BoxKind kind) {
    switch (kind) {
    case BoxKind::Error:
        return QStringLiteral("Error");
    case BoxKind::Information:
        return QStringLiteral("Information");
    case BoxKind::Warning:
        break;
    }
    return QStringLiteral("Warning");
}

Answer show(QWidget* parent, BoxKind kind, const QString& text, bool withCancel, Answer defaultAnswer) {
    QMessageBox::Icon icon = kind == BoxKind::Error         ? QMessageBox::Critical
                             : kind == BoxKind::Information ? QMessageBox::Information
                                                            : QMessageBox::Warning;
    QMessageBox box(icon, captionOf(kind), QString(), QMessageBox::NoButton, parent);
    // A message often carries what a file or a user wrote: it is shown as it stands, never as markup
    // or a link.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    if (withCancel) {
        QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
        if (defaultAnswer == Answer::Cancel)
            box.setDefaultButton(cancel);
    }
    TestState& s = state();
    if (s.on) {
        s.shown.append({kind, captionOf(kind), text, box.textFormat()});
        Answer a = defaultAnswer;
        if (!s.nextBoxes.empty()) {
            a = s.nextBoxes.front();
            s.nextBoxes.pop_front();
        }
        return withCancel ? a : Answer::Ok;
    }
    box.exec();
    return box.clickedButton() == ok ? Answer::Ok : Answer::Cancel;
}

} // namespace

void error(QWidget* parent, const QString& text) {
    show(parent, BoxKind::Error, text, false, Answer::Ok);
}
void information(QWidget* parent, const QString& text) {
    show(parent, BoxKind::Information, text, false, Answer::Ok);
}
Answer warningOkCancel(QWidget* parent, const QString& text, Answer defaultAnswer) {
    return show(parent, BoxKind::Warning, text, true, defaultAnswer);
}

QString openFile(QWidget* parent, const QString& caption) {
    TestState& s = state();
    // The dialog opens in the current folder, named as the file system names it.
    s.lastFolder = QDir::currentPath();
    QString path;
    if (s.on) {
        path = s.nextFile.value_or(QString());
        s.nextFile.reset();
    } else {
        path = QFileDialog::getOpenFileName(parent, caption, s.lastFolder);
    }
    if (!path.isEmpty()) {
        path = QFileInfo(path).absoluteFilePath();
        QDir::setCurrent(QFileInfo(path).absolutePath());
    }
    return path;
}

void setTestMode(bool on) {
    state().on = on;
}
bool testMode() {
    return state().on;
}
void answerNextBox(Answer answer) {
    state().nextBoxes.push_back(answer);
}
void answerNextOpenFile(const QString& path) {
    state().nextFile = path;
}
QString lastOpenFileFolder() {
    return state().lastFolder;
}
const QList<ShownBox>& shownBoxes() {
    return state().shown;
}
void resetTestState() {
    state().nextBoxes.clear();
    state().nextFile.reset();
    state().shown.clear();
    state().lastFolder.clear();
}

void guarded(QWidget* window, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        error(window, QString::fromUtf8(e.what()));
    }
}

} // namespace ortavia::ui::dialogs
