#pragma once
// The two information windows of the help menu: the about-program dialog (modal) and the
// about-authors window (modeless, one window brought to the front when chosen again).
#include <QDialog>
#include <QWidget>

namespace ortavia::ui {

class TOKRightDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKRightDlg(QWidget* parent = nullptr);
    void OKBtnClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};

} // namespace ortavia::ui
