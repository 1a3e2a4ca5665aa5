#include "docs/launcher.h"

#include "store/fsys.h"

namespace ortavia::docs {

std::optional<SlideShow> slideShowFor(std::string_view commandLine) {
    constexpr std::string_view marker = " /s ";
    const std::size_t at = commandLine.find(marker);
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view file = commandLine.substr(at + marker.size());
    while (!file.empty() && file.front() == ' ')
        file.remove_prefix(1);
    if (file.empty())
        return std::nullopt;
    // The file is relative to the current directory, which the started program inherits.
    return SlideShow{"soffice", {"--show", fsys::resolve(file)}};
}

} // namespace ortavia::docs
