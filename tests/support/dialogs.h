#pragma once

// Answering the modal dialogs a step brings up, as a user would.

#include <functional>

class QWidget;

namespace testing {

// Runs `answer` on each modal dialog that comes up while `step` runs; false when none came up.
bool whileDialogIsUp(const std::function<void()> &step, const std::function<void(QWidget *)> &answer);

} // namespace testing
