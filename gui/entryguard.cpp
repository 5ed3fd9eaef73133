#include "gui/entryguard.h"

#include "gui/forms.h"
#include "gui/messages.h"
#include "gui/windows/sectionwindow.h"

namespace entryguard {

bool entryBeingWritten()
{
    const SectionWindow *section = forms::loaded<SectionWindow>();
    return section && section->state().writing();
}

bool entriesMayChange(QWidget *asking)
{
    if (!entryBeingWritten())
        return true;
    gui::messages().show(asking,
                         QStringLiteral("Save the entry you are writing, or give it up with Escape, "
                                        "before a change is taken back or entries are brought back."),
                         gui::MessageIcon::Information);
    return false;
}

} // namespace entryguard
