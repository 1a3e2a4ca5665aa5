#include "ui/look.h"

#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

#include "docs/catalogue.h"

namespace ortavia::ui::look {

void installFontSubstitutes() {
    QFont::insertSubstitutions(QString::fromLatin1(kSerif),
                               {QStringLiteral("PT Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QString::fromLatin1(kSansSerif),
                               {QStringLiteral("PT Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QString::fromLatin1(kArial),
                               {QStringLiteral("PT Sans"), QStringLiteral("DejaVu Sans")});
}

QFont font(const char* family, int pixelSize, bool bold) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void maskWithStars(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void accent(QPushButton* button) {
    button->setStyleSheet(QStringLiteral("QPushButton { background: #1f6fb2; color: white; border: none;"
                                         " border-radius: 4px; padding: 4px 12px; }"
                                         "QPushButton:hover { background: #2a82cc; }"
                                         "QPushButton:pressed { background: #175a91; }"
                                         "QPushButton:focus { border: 2px solid #f2b632; }"));
}

void flat(QPushButton* button) {
    button->setFlat(true);
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid transparent; border-radius: 4px; }"
                       "QPushButton:hover { border-color: #1f3a5f; background: rgba(255,255,255,60); }"
                       "QPushButton:focus { border: 2px solid #1f3a5f; }"));
}

QIcon menuIcon(const docs::MenuEntry& entry) {
    const char* picture = nullptr;
    const std::string_view parent = entry.parent ? entry.parent : "";
    switch (entry.action) {
    case docs::Action::Test:
        picture = "test";
        break;
    case docs::Action::Launch:
        picture = "slides";
        break;
    case docs::Action::View:
        picture = parent == "N0" ? "lecture" : parent == "nlab" ? "lab" : parent == "N21" ? "help" : "page";
        break;
    case docs::Action::Command:
        if (std::strcmp(entry.name, "Ni") == 0 || std::strcmp(entry.name, "N40") == 0 ||
            std::strcmp(entry.name, "NSvod") == 0 || std::strcmp(entry.name, "NStat") == 0)
            picture = "grades";
        else if (std::strcmp(entry.name, "N30") == 0)
            picture = "journal";
        else if (std::strcmp(entry.name, "Ntun") == 0)
            picture = "settings";
        else if (std::strcmp(entry.name, "nred") == 0)
            picture = "lock";
        else if (std::strcmp(entry.name, "N15") == 0 || std::strcmp(entry.name, "N26") == 0)
            picture = "info";
        break;
    case docs::Action::Submenu:
        break;
    }
    if (!picture || !entry.parent)
        return {};
    return QIcon(QStringLiteral(":/ortavia/menu/%1.svg").arg(QString::fromLatin1(picture)));
}

} // namespace ortavia::ui::look
