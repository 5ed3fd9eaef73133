#pragma once

// Whether the diary's entries may change under the user now. While the section window is adding
// or editing an entry, a change underneath (an undo, entries brought back) would leave its Save
// writing into a row that is no longer the one it showed, so such changes wait for it.

class QWidget;

namespace entryguard {

// Whether the section window is adding or editing an entry.
bool entryBeingWritten();
// True when nothing is being written; otherwise says why not over the window that asked.
bool entriesMayChange(QWidget *asking);

} // namespace entryguard
