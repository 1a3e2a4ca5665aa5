#pragma once
// The user report: the dialog in which a student is chosen (TOKRightDlg1) and the report layout
// (TForm4), which is never shown itself and carries the report page.
#include <QDialog>
#include <QWidget>

namespace ortavia::ui {

class TForm1;

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

class TOKRightDlg1 : public QDialog {
    Q_OBJECT
public:
    TOKRightDlg1(TForm1* mainWindow, TForm4* report, QWidget* parent = nullptr);

private:
    TForm1* main_;
    TForm4* report_;
};

} // namespace ortavia::ui
