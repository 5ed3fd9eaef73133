#pragma once

// Saving an entry that was edited. The diary may have changed it, or removed it, since editing
// began (an undo in the History window, a restore, another program): then the typed text goes in
// only when the user says so, never over the diary's entry unasked. Text typed with no entry to
// change (Edit pressed with no line selected) is added as a new entry at the user's word.

#include "core/store/store.h"

#include <optional>

class QWidget;

namespace editsave {

struct Outcome {
    enum class Kind {
        Written,      // the typed text is in the diary
        TookTheDiary, // the user gave the typed text up for what the diary holds now
        GaveUp,       // the user gave the typed text up, with no entry to change
        NotWritten,   // nothing written, and the editing goes on (a failure was shown, or the user stays)
    };
    Kind kind = Kind::NotWritten;
    // For TookTheDiary: what the diary holds now; none when the entry is gone.
    std::optional<store::Entry> diary;
    // For Written: the entry that holds the text now.
    qint64 index = 0;
};

// `index`: the entry edited, none when no line was selected; `given`: what the boxes were given
// from it when editing began; `typed`: the checked text. An entry that is gone, kept at the user's
// word, comes back as a new entry at the end.
Outcome save(QWidget *window, store::Table table, std::optional<qint64> index, const store::Entry &given,
             const store::Entry &typed);

} // namespace editsave
