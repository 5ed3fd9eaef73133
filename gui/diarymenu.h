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

enum class Place { MainWindow, SectionWindow };

// Puts the entries at the top of the window's File menu; call it once the menu has its own. The
// section window has one more, Undo, for the open section.
void addTo(QMenu *file, forms::Form *window, Place place);

} // namespace diarymenu
