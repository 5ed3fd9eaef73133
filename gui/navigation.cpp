#include "gui/navigation.h"

#include "core/modAppdata.h"
#include "gui/diarypassword.h"
#include "gui/forms.h"
#include "gui/frmAbout.h"
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

void showDiaryPassword(forms::Form *from)
{
    // From the main window the data folder may not have been looked for yet in this run.
    modAppdata::SetDataFolder();
    gui::DiaryPasswordDialog::run(from ? from->widget() : nullptr, modAppdata::WorkingDiaryPath());
}

chrome::PromoFrame *mainWindowPromo()
{
    frmMain *main = forms::loaded<frmMain>();
    return main ? &main->promo : nullptr;
}

} // namespace navigation
