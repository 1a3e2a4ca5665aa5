// The sign-in screen (registration, sign-in, deletion) and the administrator settings screen.
#include <QComboBox>
#include <QLineEdit>

#include "accounts/accounts.h"
#include "store/error.h"
#include "store/store.h"
#include "store/textfile.h"
#include "ui/dialogs.h"
#include "ui/text.h"
#include "ui/tform1.h"

namespace ortavia::ui {
namespace {

const QString kRefused = QStringLiteral("Проверьте правильность имени и пароля!");

} // namespace

void TForm1::refuseSignIn() {
    dialogs::error(this, kRefused);
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
    // The list as it is now: other copies of the program register and delete too.
    if (const auto refusal = accounts::registrationRefusal(
            *name, textfile::readLinesIfExists(accounts::kUserList), adminLogin_)) {
        dialogs::error(this, QString::fromStdString(*refusal));
        return;
    }
    if (const auto refusal = accounts::passwordRefusal(password)) {
        dialogs::error(this, QString::fromStdString(*refusal));
        return;
    }
    // The whole record first, then the list: a failure leaves no record or a whole one.
    accounts::writeNewRecord(*name, password);
    accounts::addToUserList(*name);
    loadUserList();
    dialogs::information(this, QStringLiteral("Пользователь зарегистрирован.Нажмите \"Далее>>\""));
}

void TForm1::SpeedButton3Click() {
    signedInName_ = fromQ(Edit2->text());
    const std::string password = passwordFromQ(MaskEdit1->text());
    // An empty login is no login: nobody signs in as administrator while the settings hold none.
    if (!adminLogin_.empty() && signedInName_ == adminLogin_) {
        if (password != adminPassword_) {
            refuseSignIn();
            return;
        }
        administrator_ = true;
        showPanels({Panel1}, {Panel2, Panel3, Panel4, Panel6});
        for (const char* name :
             {"N0", "notch", "nred", "NOpt", "NEditor", "Ni", "Ntun", "nlab", "Nprak", "Nrk", "Nadm"})
            action(name)->setVisible(true);
        ComboBox1->setVisible(true);
        ComboBox1->setEnabled(true);
        action("NaFormuAvtorizazii")->setVisible(false);
        gradesOwner_ = signedInName_;
        saveAtClose_ = true;
        return;
    }
    // A name without a record never signs in, whatever the password.
    if (!accounts::hasRecord(signedInName_) ||
        store::read(signedInName_, "password", accounts::kRecords) != password) {
        refuseSignIn();
        return;
    }
    gradesOwner_ = signedInName_;
    for (int n = 1; n <= 10; ++n) {
        grades_[n - 1] = accounts::storedGrade(signedInName_, n);
        if (grades_[n - 1] < 3)
            enable("test" + std::to_string(n), false);
    }
    showPanels({Panel1}, {Panel2, Panel3, Panel4, Panel6});
    for (const char* name : {"N0", "Ni", "nlab", "Nprak", "Nrk", "Nadm"})
        action(name)->setVisible(true);
    action("NaFormuAvtorizazii")->setVisible(false);
    saveAtClose_ = true;
}

void TForm1::SpeedButton2Click() {
    const std::string name = fromQ(Edit2->text());
    if (store::read(name, "password", accounts::kRecords) != passwordFromQ(MaskEdit1->text())) {
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
    // A section without a password (grades saved under the administrator login) is nobody's record
    // and stays; a list line without any record goes, as the default text lets it.
    if (accounts::hasRecord(name))
        store::erase(name, accounts::kRecords);
    accounts::removeFromUserList(name);
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
    if (const auto refusal =
            accounts::settingsRefusal(typed, textfile::readLinesIfExists(accounts::kUserList))) {
        dialogs::error(this, QString::fromStdString(*refusal));
        return;
    }
    // Takes effect at the next start; the settings in memory stay as loaded.
    textfile::replace(accounts::kSettingsFile, accounts::settingsLine(typed));
}

} // namespace ortavia::ui
