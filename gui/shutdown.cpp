#include "gui/shutdown.h"

#include "core/services.h"
#include "gui/forms.h"

namespace shutdown {

void quitAll()
{
    if (forms::ending())
        return;
    forms::setEnding();
    // A window loaded by an unload handler on the way is unloaded too.
    while (!forms::loadOrder().empty())
        forms::unload(forms::loadOrder().front());
    platform::processEnd().end();
}

} // namespace shutdown
