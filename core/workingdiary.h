#pragma once

// The working diary made ready for use, as Continue and Import need it before they touch it.

#include "core/result.h"

#include <QString>

#include <functional>
#include <optional>

namespace workingdiary {

// The data folder (folderReady: what the data folder rule gave), a copy of the starter diary
// when there is no diary yet, and the diary's own password, in that order. When the copy takes
// the place of a lost diary whose backups are then kept aside, keptIn hears of their folder at
// once, before any password is asked for.
std::optional<store::Failure> ready(bool folderReady, const std::function<void(const QString &kept)> &keptIn);

// What the user is told of a failure of ready(); nothing when the user gave up at the password
// prompt.
std::optional<QString> message(const store::Failure &failure);

} // namespace workingdiary
