#pragma once
// The slide-show commands name the presentation program of an office suite by its Windows
// installation path ("...\POWERPNT.EXE /s Data\Prezent\2.pps"). Elsewhere the same file is shown
// as a full-screen slide show by the office suite found on the machine.
#include <QUrl>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::docs {

struct SlideShow {
    std::string program;           // UTF-8
    std::vector<std::string> args; // UTF-8
};

// The presentation a command line shows, relative to the course ("Data\Prezent\2.pps"), or nullopt
// when the command line names no slide show.
std::optional<std::string> slideShowFile(std::string_view commandLine);

// The equivalent command for this machine of showing the presentation (a local file or an address).
SlideShow slideShowOf(const QUrl& presentation);

} // namespace ortavia::docs
