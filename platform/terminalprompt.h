#pragma once

// The password prompt for the command line: asks on the controlling terminal without echo.

#include "core/services.h"

#include <memory>

namespace platform {

// Asks up to three times; without a terminal it asks nothing and says why on standard error.
std::unique_ptr<PasswordPrompt> terminalPasswordPrompt();

// Windows starts a windowed program without a console: the command line's answers go to the
// console it was started from, where its output is not already redirected. Elsewhere nothing.
void useStartingConsole();

} // namespace platform
