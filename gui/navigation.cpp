#include "gui/navigation.h"

#include "core/modAppdata.h"
#include "gui/bookflows.h"
#include "gui/diarypassword.h"
#include "gui/findwindow.h"
#include "gui/forms.h"
#include "gui/frmAbout.h"
#include "gui/frmExportBook.h"
#include "gui/frmFarewell.h"
#include "gui/frmMain.h"
#include "gui/frmResultBOS.h"
#include "gui/frmStartup.h"
#include "gui/messages.h"
#include "gui/sectionwindowstate.h"

#include <QRadioButton>

namespace navigation {

namespace {
// The new window shows first, so that there is never a moment without one.
template <class Next>
void replace(forms::Form *from)
{
    forms::show<Next>();
    forms::unload(from);
    forms::hide<frmStartup>();
    forms::hide<frmFarewell>();
}
} // namespace

void start()
{
    forms::show<frmMain>();
}

void toSectionWindow(forms::Form *from)
{
    replace<frmResultBOS>(from);
}

void toMainWindow(forms::Form *from)
{
    replace<frmMain>(from);
}

void afterMainOrSectionWindow()
{
    forms::show<frmFarewell>();
    forms::hide<frmStartup>();
}

void showFind(forms::Form *from)
{
    auto *window = from->widget()->findChild<FindWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new FindWindow(from);
        window->move(from->widget()->geometry().center() - window->rect().center());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

bool showEntry(forms::Form *from, sections::Table table, qint64 index, QWidget *asking)
{
    if (auto *section = dynamic_cast<frmResultBOS *>(from)) {
        const SectionWindowMode mode = SectionWindowState(*section);
        if (mode == SectionWindowMode::Adding || mode == SectionWindowMode::Editing) {
            gui::messages().show(asking,
                                 QStringLiteral("Save the entry you are writing, or close the section, "
                                                "before you go to another entry."),
                                 gui::MessageIcon::Information);
            return false;
        }
        if (section->sectionTable() != table) {
            section->mnuBack_Click();
            from = forms::loaded<frmMain>();
        }
    }
    if (auto *main = dynamic_cast<frmMain *>(from)) {
        const int option = int(std::find(sections::kTables.begin(), sections::kTables.end(), table) - sections::kTables.begin());
        main->optOption[std::size_t(option)]->setChecked(true);
        main->cmdContinue_Click();
        if (forms::loaded<frmMain>() == main)
            return false;
    }
    frmResultBOS *section = forms::loaded<frmResultBOS>();
    if (!section)
        return false;
    if (SectionWindowState(*section) == SectionWindowMode::Closed)
        section->Command1_Click();
    if (!section->selectEntry(index))
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
    frmAbout::ShowModal();
}

void showDiaryPassword(forms::Form *from)
{
    // From the main window the data folder may not have been looked for yet in this run.
    modAppdata::SetDataFolder();
    gui::DiaryPasswordDialog::run(from ? from->widget() : nullptr, modAppdata::WorkingDiaryPath());
}

void exportBook(forms::Form *from)
{
    if (const auto choice = frmExportBook::choose(from->widget()))
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
    if (auto *main = dynamic_cast<frmMain *>(from); main && !main->workingDiaryReady())
        return;
    bookflows::importEntries(from->widget());
    // The list shows what came in, unless an entry is being written.
    if (auto *section = dynamic_cast<frmResultBOS *>(from)) {
        const SectionWindowMode mode = SectionWindowState(*section);
        if (mode == SectionWindowMode::Closed || mode == SectionWindowMode::Browsing)
            section->cmdRefresh_Click();
    }
}

chrome::PromoFrame *mainWindowPromo()
{
    frmMain *main = forms::loaded<frmMain>();
    return main ? &main->promo : nullptr;
}

} // namespace navigation
