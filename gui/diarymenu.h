#pragma once

// The diary's own File menu entries beyond opening a section (find, export, print, import, the
// history, the diary's password, the lock), the same in the main and the section window. They
// stand above the entries every window already has, set off by a separator; the find and history
// windows come through the navigation unit, so that no window includes another.

#include <functional>

class QMenu;

namespace forms {
class Form;
}

namespace diarymenu {

// What the window does itself, where the windows differ.
struct Own {
    // File, Undo, which only a window with an open section has; no Undo entry without it.
    std::function<void()> undo = {};
    // File, Redo: does again what Undo took back last.
    std::function<void()> redo = {};
    // Makes the diary ready before entries are imported into it: from the main window the diary
    // may not exist yet. False when it could not be (the window has said why).
    std::function<bool()> readyDiary = {};
};

// Puts the entries at the top of the window's File menu; call it once the menu has its own.
void addTo(QMenu *file, forms::Form *window, const Own &own = {});

} // namespace diarymenu
