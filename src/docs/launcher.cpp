#include "docs/launcher.h"

namespace ortavia::docs {

std::optional<std::string> slideShowFile(std::string_view commandLine) {
    constexpr std::string_view marker = " /s ";
    const std::size_t at = commandLine.find(marker);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view file = commandLine.substr(at + marker.size());
    while (!file.empty() && file.front() == ' ')
        file.remove_prefix(1);
    if (file.empty())
        return std::nullopt;
    return std::string(file);
}

SlideShow slideShowOf(const QUrl& presentation) {
    const QString shown = presentation.isLocalFile() ? presentation.toLocalFile() : presentation.toString();
    return SlideShow{"soffice", {"--show", shown.toStdString()}};
}

} // namespace ortavia::docs
