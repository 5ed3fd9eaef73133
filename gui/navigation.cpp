#include "gui/navigation.h"

#include "core/datafolder.h"
#include "gui/entryguard.h"
#include "gui/forms.h"
#include "gui/messages.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <QApplication>

namespace navigation {

namespace {
// The new window shows first, so that there is never a moment without one.
template <class Next>
void replace(forms::Form *from, const SectionChoice &choice)
{
    forms::show<Next>(choice);
    forms::unload(from);
    forms::hide<StartupWindow>();
    forms::hide<ExitWindow>();
}

template <class Window>
Window *raiseChildWindow(forms::Form *from)
{
    auto *window = from->widget()->findChild<Window *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new Window(from);
        window->move(from->widget()->geometry().center() - window->rect().center());
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
} // namespace

void start()
{
    forms::show<MainWindow>();
}

void toSectionWindow(forms::Form *from, const SectionChoice &choice)
{
    replace<SectionWindow>(from, choice);
}

void toMainWindow(forms::Form *from, const SectionChoice &choice)
{
    replace<MainWindow>(from, choice);
}

void afterMainOrSectionWindow()
{
    forms::show<ExitWindow>();
    forms::hide<StartupWindow>();
}

void showFind(forms::Form *from)
{
    raiseChildWindow<FindWindow>(from);
}

void showHistory(forms::Form *from)
{
    // From the main window the data folder may not have been looked for yet in this run.
    datafolder::setDataFolder();
    raiseChildWindow<HistoryWindow>(from);
}

bool showEntry(forms::Form *from, sections::Table table, qint64 index, QWidget *asking)
{
    if (SectionWindow *section = forms::loaded<SectionWindow>(); section && from == section) {
        if (entryguard::entryBeingWritten()) {
            gui::messages().show(asking,
                                 QStringLiteral("Save the entry you are writing, or give it up with Escape, "
                                                "before you go to another entry."),
                                 gui::MessageIcon::Information);
            return false;
        }
        if (section->sectionTable() != table) {
            section->backToMain();
            from = forms::loaded<MainWindow>();
        }
    }
    if (MainWindow *main = forms::loaded<MainWindow>(); main && from == main) {
        main->continueInto(table);
        if (forms::loaded<MainWindow>() == main)
            return false;
    }
    SectionWindow *section = forms::loaded<SectionWindow>();
    if (!section)
        return false;
    section->open();
    if (!section->select(index))
        return false;
    // The find window the choice came from stays open, behind the entry it found.
    if (auto *find = qobject_cast<FindWindow *>(asking); find && find->parentWidget() != section)
        find->belongTo(section);
    section->raise();
    section->activateWindow();
    return true;
}

} // namespace navigation
