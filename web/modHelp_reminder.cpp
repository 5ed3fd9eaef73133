#include "web/modHelp_reminder.h"

namespace modHelp {

void RemindOfUpdate()
{
}

} // namespace modHelp
