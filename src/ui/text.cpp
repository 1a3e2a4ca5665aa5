#include "ui/text.h"

#include <QTextDocument>

#include "store/codepage.h"
#include "store/error.h"

namespace ortavia::ui {

QString toQ(std::string_view codePageText) {
    return QString::fromStdString(cp::toUtf8(codePageText));
}

std::optional<std::string> tryFromQ(const QString& text) {
    return cp::fromUtf8(text.toStdString());
}

std::string fromQ(const QString& text) {
    std::optional<std::string> bytes = tryFromQ(text);
    if (!bytes)
        throw Error("Текст \"" + text.toStdString() +
                    "\" содержит символы, которых нет в кодовой странице курса (русский, казахский и "
                    "латинский алфавиты). Исправьте его.");
    return *bytes;
}

std::string passwordFromQ(const QString& text) {
    std::optional<std::string> bytes = tryFromQ(text);
    if (!bytes)
        throw Error("Пароль содержит символы, которых нет в кодовой странице курса. Используйте русские, "
                    "казахские или латинские буквы и цифры.");
    return *bytes;
}

QString plainToolTip(const QString& text) {
    return text.isEmpty() ? text : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

} // namespace ortavia::ui
