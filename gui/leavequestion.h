#pragma once

// Leaving a window while an entry is being written in it: the question, and what each answer does.

#include <functional>

class QWidget;

namespace leavequestion {

enum class Entry { New, Edited };

// Asks whether to save the entry first. True when the window may go: the entry was saved, or
// given up; false when the user stays, or when save (the Save button's own steps) refused it
// and returned false, so that the window stays as that refusal left it.
bool mayLeave(QWidget *window, Entry entry, const std::function<bool()> &save);

} // namespace leavequestion
