#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace velnor {

// Starts a new copy of this executable with the same arguments and, once it
// runs, ends the event loop with status 0. `handOver` runs first (the
// running copy stops answering launches, so the new one waits for this one
// to exit instead of asking it to show itself); `takeBack` runs when the
// start failed. On failure nothing exits and the error text comes back.
std::optional<QString> relaunchDetached(const std::function<void()>& handOver = {},
                                        const std::function<void()>& takeBack = {});

} // namespace velnor
