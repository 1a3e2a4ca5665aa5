#pragma once
// The slide-show commands name the presentation program of an office suite by its Windows
// installation path ("...\POWERPNT.EXE /s Data\Prezent\2.pps"). Elsewhere the same file is shown
// as a full-screen slide show by the office suite found on the machine.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ortavia::docs {

struct SlideShow {
    std::string program;           // UTF-8
    std::vector<std::string> args; // UTF-8
};

// The equivalent command for this machine, or nullopt when the command line names no slide show.
std::optional<SlideShow> slideShowFor(std::string_view commandLine);

} // namespace ortavia::docs
