#pragma once
// The user report: the dialog in which a student is chosen (TOKRightDlg1) and the report layout
// (TForm4), which is never shown itself and carries the report page.
#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>

#include "reports/report_page.h"

class QComboBox;
class QPrintPreviewDialog;
class QLabel;
class QPushButton;

namespace ortavia::ui {

class TForm1;
namespace design {
class Layout;
}

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    // The report; its captions stay as last set until the dialog fills them anew.
    reports::UserReport QuickRep1;

    // Shows the report in the preview and returns when the preview has closed.
    void preview(QWidget* parent);

    // The preview, replaceable by tests (which must put the default back with resetPreviewer). It
    // gets the filled report and the window to centre on.
    using Previewer = std::function<void(const reports::UserReport&, QWidget*)>;
    static Previewer previewer;
    static void resetPreviewer();

    // The default preview: the print preview window, printable from there, with a "PDF…" command
    // in its tool bar that saves the report as a PDF file.
    static void runPreview(const reports::UserReport& report, QWidget* parent);
};

class TOKRightDlg1 : public QDialog {
    Q_OBJECT
public:
    TOKRightDlg1(TForm1* mainWindow, TForm4* report, QWidget* parent = nullptr);
    ~TOKRightDlg1() override;

    void FormShow();
    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TForm1* main_;
    TForm4* report_;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    std::unique_ptr<design::Layout> layout_;
};

// A print preview used from the keyboard alone: Tab reaches every command of its tool bar (print,
// page set-up, PDF…) and Ctrl+P prints; Escape closes it, as in any dialog.
void reachByKeyboard(QPrintPreviewDialog& dialog);

// The save-file dialog of the report, answerable by tests: in the test mode of ui/dialogs.h
// nothing is shown and the dialog takes the answer given beforehand (cancelled when none was
// given). Unlike the open-file dialog it leaves the current directory where it is.
namespace savefile {

// The chosen file's full path, or an empty text when cancelled.
QString ask(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter);

void answerNext(const QString& path); // empty: the dialog is cancelled
int askedCount();                     // dialogs asked since the last reset
void resetTestState();

} // namespace savefile
} // namespace ortavia::ui
