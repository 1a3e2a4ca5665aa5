#pragma once
// The title screen: shown modally at start-up, closed by its timer after 3000 ms or at once by its
// close box; its closing makes the main window visible.
#include <QDialog>
#include <memory>

#include "docs/deployment.h"

class QTimer;

namespace ortavia::ui {

namespace design {
class Layout;
}

class TForm3 : public QDialog {
    Q_OBJECT
public:
    // The texts are the course's deployment texts.
    TForm3(QWidget* mainWindow, const deployment::Texts& texts, QWidget* parent = nullptr);
    ~TForm3() override;
    QTimer* timer() const { return Timer1; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void Timer1Timer();
    void FormClose();

    QWidget* mainWindow_;
    QTimer* Timer1;
    bool closed_ = false;
    std::unique_ptr<design::Layout> layout_;
};

} // namespace ortavia::ui
