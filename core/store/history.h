#pragma once

// The diary's history: every add, edit, remove, import, undo and restore, kept inside the diary
// file with the change itself (in its transaction; a restore's in the restored copy before it takes
// the diary's place), so the two never disagree, even after a kill. It is
// encrypted with the diary, goes wherever the diary goes (password changes, backups) and is as
// secret as the diary; it is never exported nor imported. A new diary has the history's tables
// from the start, an older one gets them with its first change; opening one never writes.
//
// A change is one user action. It holds one row per entry it touched, with the entry's text
// before and after (none when the entry did not exist on that side), so that any change can be
// taken back by putting each entry back as it was before, and only when each is still as the
// change left it.

#include "core/result.h"
#include "core/store/store.h"

#include <QDateTime>
#include <QString>

#include <limits>
#include <optional>
#include <vector>

namespace store::history {

// Restored: the diary was put back from a backup (core/store/restore.h); it touched no entry, and
// the history before it is the backup's own. BroughtBack: entries of a backup put back into the
// diary (core/store/bringback.h).
enum class Kind { Added, Changed, Removed, Imported, Undone, Restored, BroughtBack };

// One line of the history, as the History window lists it.
struct Change {
    qint64 id = 0; // ascending in the order the changes were made
    QDateTime at;  // local time, with the offset from UTC it had then
    Kind kind = Kind::Added;
    qint64 entries = 0; // how many entries it touched
    // The section and keyword of the entry it touched (the first one, for an import; for an undo,
    // those of the change it took back). None for a section the diary does not have.
    std::optional<Table> table;
    QString keyword;
    // For an undo: the change it took back, and that change's kind.
    qint64 undid = 0;
    Kind undidKind = Kind::Added;
    // For an undo: how many undos lead back to the first change (1, or 2 for an undo of an undo;
    // a long chain is cut short, its evenness kept), and that first change's kind, never Undone.
    int depth = 0;
    Kind firstKind = Kind::Added;
    // For a restore, entries brought back and an undo of those: when the backup was made (invalid
    // when the history does not say).
    QDateTime backupMadeAt;
};

// One entry a change touched, before and after.
struct EntryChange {
    Table table = Table::Spell;
    qint64 index = 0;
    std::optional<Entry> before;
    std::optional<Entry> after;
};

// The line for a change: "Removed “Myrrh” from Incense", "Changed “Sage” in Spell",
// "Added “Rue” to Rituals", "Imported 12 entries" ("Imported 1 entry"), "Restored the backup of "
// and the backup's date and time in the locale's short format, "Brought back 3 entries from the
// backup of " and that date; for an undo, what it did to the entries: "Removed “Rue” again from
// Rituals", "Changed “Sage” back in Spell", "Brought back “Myrrh” to Incense", "Removed 12
// imported entries again", "Took back 3 entries brought back from the backup of " …, and for an
// undo of that, "Added “Rue” again to Rituals" and so on.
QString describe(const Change &change);

// Every change, newest first, or a page of them: the `limit` newest older than `olderThan`
// (a negative limit: all of them). A diary that was never written since it had a
// history has none.
inline constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();
Result<std::vector<Change>> readChanges(const QString &path, qint64 olderThan = kNoLimit, qint64 limit = -1);
// The entries one change touched, in the order it touched them.
Result<std::vector<EntryChange>> readEntryChanges(const QString &path, qint64 change);

struct Undo {
    // The new change that took it back; none when it no longer fits.
    std::optional<qint64> change;
    // Why it no longer fits, for the user: an entry it touched was changed again since.
    QString refusal;
    // The sections whose entries changed.
    std::vector<Table> tables;
};
// Takes a change back, all of it or nothing, as a new change of its own (which can be taken back
// in turn): a removed entry returns with its own "Index", so it stands in its old place in the
// list; an edited one gets its earlier text back; an added one is removed. A restore is refused:
// it is taken back by restoring the copy of the diary it kept.
Result<Undo> undo(const QString &path, qint64 change);
// Takes back this run's last change that touched this section and is not taken back yet; an undo
// made here is not itself taken back by the next one, so that repeating it steps further back.
// A refusal with nothing to take back.
Result<Undo> undoLastIn(const QString &path, Table table);
// Does again what undoLastIn took back last in this section, by taking that undo back, as long as
// nothing else changed the section since; repeating it steps forward through the undos.
Result<Undo> redoLastIn(const QString &path, Table table);
// Whether this run made a change in this section that undoLastIn could take back.
bool canUndoIn(const QString &path, Table table);

// Forgets every change; the entries stay as they are, and the backups keep their own history.
std::optional<Failure> clear(const QString &path);

} // namespace store::history
