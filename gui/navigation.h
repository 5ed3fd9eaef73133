#pragma once

// Which window comes next. Windows never include one another: each asks this unit for the way
// on, and the show, unload and hide steps of every way live here, in their one order.

namespace chrome {
struct PromoFrame;
}
namespace forms {
class Form;
}

namespace navigation {

// The start-up window's way in: the main window appears.
void start();
// Continue: the section window of the chosen section takes the place of the main window.
void toSectionWindow(forms::Form *from);
// Back: a new main window takes the place of the section window.
void toMainWindow(forms::Form *from);
// What remains when the main or the section window is unloaded: the exit window, alone.
void afterMainOrSectionWindow();
// The About window, modal; returns when it is closed.
void showAbout();
// Diary Password over the window it was asked from, modal; returns when it is closed.
void showDiaryPassword(forms::Form *from);

// The main window's promotional frame, which the start-up window's draw also decides; none
// while the main window is not loaded.
chrome::PromoFrame *mainWindowPromo();

} // namespace navigation
