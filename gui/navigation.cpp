#include "gui/navigation.h"

#include "gui/bookflows.h"
#include "gui/forms.h"
#include "gui/frmAbout.h"
#include "gui/frmExportBook.h"
#include "gui/frmFarewell.h"
#include "gui/frmMain.h"
#include "gui/frmResultBOS.h"
#include "gui/frmStartup.h"

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

void showAbout()
{
    frmAbout::ShowModal();
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
    bookflows::importEntries(from->widget());
}

chrome::PromoFrame *mainWindowPromo()
{
    frmMain *main = forms::loaded<frmMain>();
    return main ? &main->promo : nullptr;
}

} // namespace navigation
