#pragma once
// The widget boundary: core texts are code page byte strings, widgets hold QString.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace ortavia::ui {

QString toQ(std::string_view codePageText);

// The widget text in the code page; throws Error naming the field when the text holds a character
// the code page cannot hold.
std::string fromQ(const QString& text);
std::optional<std::string> tryFromQ(const QString& text);
// The same for a password field: the message never shows the text.
std::string passwordFromQ(const QString& text);

// A tooltip that shows text as it stands (a tooltip would render markup), line breaks kept.
QString plainToolTip(const QString& text);

} // namespace ortavia::ui
