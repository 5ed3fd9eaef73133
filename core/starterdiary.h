#pragma once

#include "core/result.h"

#include <optional>

namespace starterdiary {

// Puts a copy of the starter diary at the working diary path. The copy is written to a
// temporary file beside the target and renamed into place, so that the working diary is either
// whole or absent; anything already at the working path is never replaced. A failure says why
// in the words of the system.
std::optional<store::Failure> copyStarterDiary();

} // namespace starterdiary
