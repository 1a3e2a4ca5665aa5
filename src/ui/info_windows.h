#pragma once
// The two information windows of the help menu: the about-program dialog (modal) and the
// about-authors window (modeless, one window brought to the front when chosen again).
#include <QDialog>
#include <QWidget>
#include <memory>

#include "docs/deployment.h"

namespace ortavia::ui {

namespace design {
class Layout;
}

class TOKRightDlg : public QDialog {
    Q_OBJECT
public:
    // The texts are the course's deployment texts.
    explicit TOKRightDlg(const deployment::Texts& texts, QWidget* parent = nullptr);
    ~TOKRightDlg() override;
    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<design::Layout> layout_;
};

class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(const deployment::Texts& texts, QWidget* parent = nullptr);
    ~TForm5() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override; // Escape closes the window, as its frame does

private:
    std::unique_ptr<design::Layout> layout_;
};

} // namespace ortavia::ui
