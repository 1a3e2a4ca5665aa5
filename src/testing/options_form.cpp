#include "testing/options_form.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "course/course.h"
#include "store/error.h"
#include "ui/components.h"
#include "ui/dialogs.h"
#include "ui/tform1.h"

namespace ortavia::ui {

TestOptions::TestOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormOpt"));
    setWindowTitle(QStringLiteral("Параметры тестов"));

    LabelOpt = new QLabel(QStringLiteral("Параметры действуют для всех тестов курса со следующего начатого "
                                         "теста. Оценка считается по заданным вопросам по той же шкале."),
                          this);
    LabelOpt->setObjectName(QStringLiteral("LabelOpt"));
    LabelOpt->setWordWrap(true);

    CheckShuffle =
        new QCheckBox(QStringLiteral("Перемешивать ответы (порядок ответов свой в каждом вопросе)"), this);
    CheckShuffle->setObjectName(QStringLiteral("CheckShuffle"));

    SpinDraw = new QSpinBox(this);
    SpinDraw->setObjectName(QStringLiteral("SpinDraw"));
    SpinDraw->setRange(0, 100000);
    SpinDraw->setSpecialValueText(QStringLiteral("все, по порядку"));
    SpinDraw->setAccessibleName(QStringLiteral("Вопросов в тесте, выбранных случайно"));
    auto* drawLabel = new QLabel(QStringLiteral("Вопросов в тесте (выбираются случайно):"), this);
    drawLabel->setBuddy(SpinDraw);

    ButtonSave = new QPushButton(QStringLiteral("Сохранить"), this);
    ButtonSave->setObjectName(QStringLiteral("ButtonSave"));
    ButtonSave->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Отмена"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(ButtonSave, &QPushButton::clicked, this, [this] {
        if (save())
            close();
    });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::close);

    auto* form = new QFormLayout;
    form->addRow(CheckShuffle);
    form->addRow(drawLabel, SpinDraw);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonSave);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelOpt);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(560, 220);
}

TestOptions* TestOptions::open(QWidget* mainWindow) {
    return openOwnWindow<TestOptions>(mainWindow, QStringLiteral("FormOpt"),
                                      [](TestOptions& w) { w.reload(); });
}

void TestOptions::reload() {
    const auto* main = qobject_cast<const TForm1*>(parentWidget());
    testing::Options options;
    try {
        if (main)
            options = main->course().options();
    } catch (const Error& e) {
        dialogs::error(this, QString::fromStdString(e.what()) +
                                 QStringLiteral(" Показаны параметры по умолчанию; сохранение заменит "
                                                "неверную строку."));
    }
    CheckShuffle->setChecked(options.shuffleAnswers);
    SpinDraw->setValue(options.draw);
}

testing::Options TestOptions::shown() const {
    return {CheckShuffle->isChecked(), SpinDraw->value()};
}

bool TestOptions::save() {
    const auto* main = qobject_cast<const TForm1*>(parentWidget());
    if (!main || !main->administratorSignedIn())
        return false;
    try {
        main->course().writeOptions(shown());
    } catch (const Error& e) {
        dialogs::error(
            this, QStringLiteral("Параметры тестов не сохранены: %1").arg(QString::fromStdString(e.what())));
        return false;
    }
    return true;
}

void TForm1::NOptClick() {
    if (!administratorSignedIn())
        return;
    TestOptions::open(this);
}

} // namespace ortavia::ui
