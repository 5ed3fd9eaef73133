#pragma once

// The diary's own File menu entries beyond opening a section (find, export, print, import, the
// diary's password), the same in the main and the section window. They stand above the entries
// every window already has, set off by a separator, and each asks the navigation unit for its
// window, so that no window includes another.

class QMenu;

namespace forms {
class Form;
}

namespace diarymenu {

// Puts the entries at the top of the window's File menu; call it once the menu has its own.
void addTo(QMenu *file, forms::Form *window);

} // namespace diarymenu
