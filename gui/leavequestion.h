#pragma once

// Leaving a window while an entry is being written in it: the question, and what each answer does.

#include "core/store/store.h"

#include <functional>
#include <optional>

class QWidget;

namespace leavequestion {

enum class Entry { New, Edited };

// Asks whether to save the entry first. True when the window may go: the entry was saved, or
// given up; false when the user stays, or when save (the Save button's own steps) refused it
// and returned false, so that the window stays as that refusal left it.
bool mayLeave(QWidget *window, Entry entry, const std::function<bool()> &save);

// The entry being edited changed, or went, since editing began (an undo, a restore, another
// program): the typed text is saved only when the user says so, never over it unasked.
enum class Underneath { KeepMine, TakeTheDiarys, Stay };
// `now`: what the diary holds under the entry now; none once it is gone.
Underneath askChangedUnderneath(QWidget *window, const std::optional<store::Entry> &now);

// Save while editing with no line selected: there is no entry to change. What was typed is added
// as a new entry, given up, or kept in the boxes while the user stays.
enum class NoEntry { AddAsNew, Discard, Stay };
NoEntry askAddInstead(QWidget *window);

} // namespace leavequestion
