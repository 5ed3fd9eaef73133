#pragma once

#include "core/services.h"

namespace platform {

// The real implementations for this operating system.
Services productionServices();

} // namespace platform
