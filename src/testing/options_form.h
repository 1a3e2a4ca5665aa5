#pragma once
// The options of the tests (administrator, "Басқару" → "Параметры тестов"): shuffled answers and
// the number of questions drawn for a run, read from and saved to the course's options file. A
// window of the main window, made on first use and filled anew from the file at every opening.
#include <QDialog>

#include "testing/options.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace ortavia::ui {

class TestOptions : public QDialog {
    Q_OBJECT
public:
    explicit TestOptions(QWidget* parent = nullptr);

    static TestOptions* open(QWidget* mainWindow);

    void reload();                  // the file's options into the controls (a bad file is named, all off)
    bool save();                    // the controls into the file; false (the error shown) when it fails
    testing::Options shown() const; // the options as the controls show them

private:
    QCheckBox* CheckShuffle = nullptr;
    QSpinBox* SpinDraw = nullptr;
    QLabel* LabelOpt = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonCancel = nullptr;
};

} // namespace ortavia::ui
