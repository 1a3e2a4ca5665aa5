#pragma once
// Errors that end the running event handler. The text is UTF-8 and is shown as it stands in an
// error box by the window's handler wrapper; the program then goes on with the next event.
#include <stdexcept>
#include <string>

namespace ortavia {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace ortavia
