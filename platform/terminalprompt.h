#pragma once

// The password prompt for the command line: asks on the controlling terminal without echo.

#include "core/services.h"

#include <memory>

namespace platform {

// Asks up to three times; without a terminal it asks nothing and says why on standard error.
std::unique_ptr<PasswordPrompt> terminalPasswordPrompt();

} // namespace platform
