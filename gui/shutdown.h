#pragma once

namespace shutdown {

// Unloads every window in load order and ends the process. Re-entered calls (the unload
// handlers of the start and exit windows call it again) return at once; every caller returns
// straight after calling it.
void quitAll();

} // namespace shutdown
