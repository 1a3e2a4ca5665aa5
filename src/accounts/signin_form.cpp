// The sign-in screen (registration, sign-in, deletion) and the administrator settings screen.
#include <QComboBox>
#include <QLineEdit>

#include "course/course.h"
#include "store/error.h"
#include "ui/dialogs.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

const QString kRefused = QStringLiteral("Проверьте правильность имени и пароля!");

} // namespace

void TForm1::refuseSignIn(const std::string& refusal) {
    dialogs::error(this, refusal.empty() ? kRefused : QString::fromStdString(refusal));
    // The password is typed again from scratch; the name stays for correcting.
    MaskEdit1->clear();
    MaskEdit1->setFocus();
}

void TForm1::SpeedButton1Click() {
    const std::optional<std::string> name = tryFromQ(Edit2->text());
    if (!name) {
        dialogs::error(this,
                       QStringLiteral("Имя пользователя содержит символы, которых нет в кодовой странице "
                                      "курса. Используйте русские, казахские или латинские буквы."));
        return;
    }
    const std::string password = passwordFromQ(MaskEdit1->text());
    signedInName_ = *name;
    // Checked against the list as it is now: other copies of the program register and delete too.
    if (const auto refusal = course_.registerUser(*name, password)) {
        dialogs::error(this, QString::fromStdString(*refusal));
        return;
    }
    loadUserList();
    dialogs::information(this, QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
}

void TForm1::SpeedButton3Click() {
    signedInName_ = fromQ(Edit2->text());
    const course::SignInResult in = course_.signIn(signedInName_, passwordFromQ(MaskEdit1->text()));
    // The topics of the grades read are locked, also when a later grade stops the sign-in.
    for (int n = 1; n <= in.loaded; ++n)
        if (in.grades[static_cast<std::size_t>(n - 1)] < 3)
            enable("test" + std::to_string(n), false);
    if (!in.problem.empty())
        throw Error(in.problem);
    if (in.role == course::Role::None) {
        refuseSignIn(in.refusal);
        return;
    }
    const bool administrator = in.role == course::Role::Administrator;
    administrator_ = administrator;
    showPanels({Panel1}, {Panel2, Panel3, Panel4, Panel6});
    if (administrator) {
        for (const char* name :
             {"N0", "notch", "nred", "NOpt", "NEditor", "Ni", "Ntun", "nlab", "Nprak", "Nrk", "Nadm"})
            action(name)->setVisible(true);
        ComboBox1->setVisible(true);
        ComboBox1->setEnabled(true);
        // A lab server gives its settings and its users to the administrator alone: read them now
        // (the course folder gave them at the start, with the login the administrator has used).
        if (adminLogin_.empty()) {
            loadSettings();
            loadUserList();
        }
        // The live view of the class exists only where there is a class to see: on a lab server.
        action("NMon")->setVisible(course_.monitor().has_value());
    } else {
        for (const char* name : {"N0", "Ni", "nlab", "Nprak", "Nrk", "Nadm"})
            action(name)->setVisible(true);
    }
    action("NaFormuAvtorizazii")->setVisible(false);
    saveAtClose_ = true;
}

void TForm1::SpeedButton2Click() {
    const std::string name = fromQ(Edit2->text());
    const std::string password = passwordFromQ(MaskEdit1->text());
    if (!course_.passwordMatches(name, password)) {
        dialogs::error(this, kRefused);
        return;
    }
    // The button stands beside "Жаңа қолданушы" and erases every grade: it asks first, with
    // Cancel the default.
    const QString shown = Edit2->text();
    if (dialogs::warningOkCancel(this,
                                 QStringLiteral("Удалить пользователя «%1» и все его оценки?").arg(shown),
                                 Answer::Cancel) != Answer::Ok)
        return;
    if (!course_.deleteUser(name, password)) { // the password changed meanwhile
        dialogs::error(this, kRefused);
        return;
    }
    loadUserList();
    dialogs::information(this, QStringLiteral("Пользователь «%1» и все его оценки удалены.").arg(shown));
}

void TForm1::SpeedButton7Click() {
    if (!administratorSignedIn())
        return;
    if (Edit4->text() != Edit5->text()) {
        dialogs::error(this, QStringLiteral("Проверьте пароль!"));
        return;
    }
    const accounts::Settings typed{fromQ(Edit3->text()), passwordFromQ(Edit5->text()), fromQ(Edit6->text())};
    // A course that gives no password out shows none: left empty, the stored one stays.
    std::optional<std::string> password = typed.password;
    if (typed.password.empty() && adminPassword_.empty())
        password.reset();
    // Takes effect at the next start; the settings in memory stay as loaded.
    if (const auto refusal = course_.writeSettings(typed, password))
        dialogs::error(this, QString::fromStdString(*refusal));
}

} // namespace ortavia::ui
