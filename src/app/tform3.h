#pragma once
// The title screen: shown modally at start-up, closed by its timer after 3000 ms or at once by its
// close box; its closing makes the main window visible.
#include <QDialog>

class QTimer;

namespace ortavia::ui {

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* mainWindow, QWidget* parent = nullptr);
    QTimer* timer() const { return Timer1; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void Timer1Timer();
    void FormClose();

    QWidget* mainWindow_;
    QTimer* Timer1;
    bool closed_ = false;
};

} // namespace ortavia::ui
