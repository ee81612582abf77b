#pragma once

#include <QString>

#include <optional>

namespace velnor {

// Starts a new copy of this executable with the same arguments and, once it
// runs, ends the event loop with status 0. On failure nothing exits and the
// error text comes back.
std::optional<QString> relaunchDetached();

} // namespace velnor
