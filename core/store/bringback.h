#pragma once

// Bringing entries back from a backup of the diary: what the backup holds that the diary no longer
// does (an entry removed since) or holds otherwise (an entry changed since), and putting the ones
// the user chose back, the way Undo Change does (core/store/reversal.h). The backup is only read,
// never written; it may be anything at all, so nothing it says is trusted.

#include "core/result.h"
#include "core/store/history.h"
#include "core/store/store.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace store {

// An entry of a backup that the diary no longer holds, or holds otherwise.
struct FromBackup {
    Table table = Table::Spell;
    qint64 index = 0;         // its "Index" in the backup
    Entry then;               // as the backup holds it
    std::optional<Entry> now; // what the diary holds under that "Index"; none once it was removed
};

// Section by section in the section table's order, each in the backup's order: every entry of the
// backup whose keyword and meaning the diary's section does not hold. Opens the backup read-only,
// asking for its password where no key of this run opens it.
Result<std::vector<FromBackup>> differencesFrom(const QString &diary, const QString &backup);

// Puts the chosen entries back in one write, recorded as one change (history::Kind::BroughtBack,
// naming the backup's time) that Undo Change takes back whole: a removed entry returns with its
// own "Index", in its old place; one the section never gave (the backup is not this diary's own,
// or crafted) goes at the end, as an added entry would; an older version replaces the entry's text.
// When an entry is no longer as `now` says, nothing is written and the refusal says why.
Result<history::Undo> bringBack(const QString &diary, const std::vector<FromBackup> &chosen, const QDateTime &madeAt);

} // namespace store
