#include "reports/report_form.h"

#include "ui/tform1.h"

namespace ortavia::ui {

TForm4::TForm4(QWidget* parent) : QWidget(parent) { setObjectName(QStringLiteral("Form4")); }

TOKRightDlg1::TOKRightDlg1(TForm1* mainWindow, TForm4* report, QWidget* parent)
    : QDialog(parent), main_(mainWindow), report_(report) {
    setObjectName(QStringLiteral("OKRightDlg1"));
    setWindowTitle(QStringLiteral("Отчет по пользователю"));
}

} // namespace ortavia::ui
