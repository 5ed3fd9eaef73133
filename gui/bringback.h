#pragma once

// Bringing entries back from a backup, after the History window's button: what the backup holds
// that the diary lacks or holds otherwise, in the Bring Back Entries dialog, then the entries the
// user ticked back in the diary as one change.

#include "core/store/restore.h"

class QWidget;

namespace bringback {

// True when entries came back; a message says why when there is nothing to bring back, when the
// backup cannot be read, or when the diary changed before the entries could come back.
bool fromBackup(QWidget *parent, const store::BackupSummary &backup);

} // namespace bringback
