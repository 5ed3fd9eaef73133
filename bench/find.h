#pragma once

// The find window and type-ahead in the keyword list on a large diary: each search beside the
// engine's own search for the same text, the memory the find window adds, and a keystroke in the
// list.

#include "harness.h"

namespace bench {

void measureFind(const Run &run, int entries);

} // namespace bench
