#include "app/modHelp_shutdown.h"

#include "app/forms.h"
#include "platform/Platform.h"

namespace modHelp {

void QuitAll()
{
    if (forms::ending())
        return;
    forms::setEnding();
    // A window loaded by an unload handler on the way is unloaded too.
    while (!forms::loadOrder().empty())
        forms::unload(forms::loadOrder().front());
    platform::processEnd().end();
}

} // namespace modHelp
