#pragma once
// Errors that end the running event handler. The text is UTF-8 and is shown as it stands in an
// error box by the window's handler wrapper; the program then goes on with the next event.
#include <stdexcept>
#include <string>
#include <utility>

namespace ortavia {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that could not be written or replaced: besides the text shown, the file's real path and
// the system's reason (an errno value), for the callers that say it in their own words.
class WriteError : public Error {
public:
    WriteError(const std::string& text, std::string realPath, int reason)
        : Error(text), path(std::move(realPath)), code(reason) {}
    std::string path;
    int code;
};

} // namespace ortavia
