#pragma once

#include "core/services.h"

#include <memory>

namespace platform {

// The desktop's screen saver and session lock as this system tells of them; none where it cannot
// (a build without D-Bus).
std::unique_ptr<ScreenLockWatch> desktopScreenLockWatch();

} // namespace platform
