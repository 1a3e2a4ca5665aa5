#pragma once
// The test encipher tool: turns a plain question file into an enciphered test file.
#include <QDialog>

namespace ortavia::ui {

class TForm1;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1* mainWindow, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace ortavia::ui
