#pragma once

namespace modHelp {

// Once per start: at most once in 15 days, asks whether to check for an update.
void RemindOfUpdate();

} // namespace modHelp
