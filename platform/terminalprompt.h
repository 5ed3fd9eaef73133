#pragma once

// The password prompts of the command line: asks on the controlling terminal without echo, or
// takes the password piped into standard input.

#include "core/services.h"

#include <memory>

namespace platform {

// Asks up to three times; without a terminal it asks nothing and says why on standard error.
std::unique_ptr<PasswordPrompt> terminalPasswordPrompt();

// Reads the password once, from the first line of standard input, without asking; refuses an
// input that is a terminal. What it refuses it says on standard error.
std::unique_ptr<PasswordPrompt> pipedPasswordPrompt();

// Windows starts a windowed program without a console: the command line's answers go to the
// console it was started from, where its output is not already redirected. Elsewhere nothing.
void useStartingConsole();

} // namespace platform
