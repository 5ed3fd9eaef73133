#include "gui/navigation.h"

#include "core/datafolder.h"
#include "core/diary.h"
#include "core/store/history.h"
#include "gui/book/bookflows.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/messages.h"
#include "gui/windows/aboutdialog.h"
#include "gui/windows/diarypassworddialog.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/exportbookdialog.h"
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

// The section window while an entry is being written in it, which a change underneath would
// leave saving into a row that is no longer the one it showed.
SectionWindow *sectionBeingWritten()
{
    SectionWindow *section = forms::loaded<SectionWindow>();
    const bool writing =
        section && (section->mode() == SectionWindow::Mode::Adding || section->mode() == SectionWindow::Mode::Editing);
    return writing ? section : nullptr;
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

void undoInSection(forms::Form *from)
{
    SectionWindow *section = forms::loaded<SectionWindow>();
    if (!section || from != section)
        return;
    const auto table = section->sectionTable();
    if (!table || !entriesMayChange(section))
        return;
    const auto undone = Diary::working().undoLastIn(*table);
    if (!undone.ok())
        return gui::messages().show(section, store::message(undone.failure()), gui::MessageIcon::Critical);
    if (!undone->change)
        return gui::messages().show(section, undone->refusal, gui::MessageIcon::Information);
}

bool entriesMayChange(QWidget *asking)
{
    if (!sectionBeingWritten())
        return true;
    gui::messages().show(asking,
                         QStringLiteral("Save the entry you are writing, or close the section, "
                                        "before a change is taken back or entries are brought back."),
                         gui::MessageIcon::Information);
    return false;
}

bool showEntry(forms::Form *from, sections::Table table, qint64 index, QWidget *asking)
{
    if (SectionWindow *section = forms::loaded<SectionWindow>(); section && from == section) {
        if (sectionBeingWritten()) {
            gui::messages().show(asking,
                                 QStringLiteral("Save the entry you are writing, or close the section, "
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

void showAbout()
{
    AboutDialog::showModal();
}

void showDiaryPassword(forms::Form *from)
{
    // From the main window the data folder may not have been looked for yet in this run.
    datafolder::setDataFolder();
    gui::DiaryPasswordDialog::run(from ? from->widget() : nullptr);
    DiaryLock::instance().refresh();
}

void lockDiary(forms::Form *)
{
    DiaryLock::instance().lock();
}

void exportBook(forms::Form *from)
{
    if (const auto choice = ExportBookDialog::choose(from->widget()))
        bookflows::exportBook(from->widget(), choice->tables, choice->format);
}

void printBook(forms::Form *from)
{
    bookflows::printBook(from->widget());
}

void importEntries(forms::Form *from)
{
    // Bringing in a backup may be the first thing a new user does: the diary is made ready as
    // Continue would make it.
    if (MainWindow *main = forms::loaded<MainWindow>(); main && from == main && !main->readyDiary())
        return;
    bookflows::importEntries(from->widget());
}

chrome::PromoFrame *mainWindowPromo()
{
    MainWindow *main = forms::loaded<MainWindow>();
    return main ? main->promo() : nullptr;
}

} // namespace navigation
