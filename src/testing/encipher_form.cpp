#include "testing/encipher_form.h"

#include "ui/tform1.h"

namespace ortavia::ui {

TForm2::TForm2(TForm1* mainWindow, QWidget* parent) : QDialog(parent), main_(mainWindow) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Шифрование тестовых вопросов"));
}

} // namespace ortavia::ui
