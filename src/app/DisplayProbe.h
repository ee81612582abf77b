#pragma once

#include <QString>

#include <optional>

namespace velnor {

// Why no X11 display can be used (unset DISPLAY, a server that refuses us),
// or none when one can. Probed before Qt opens the display, which would
// abort the process instead.
std::optional<QString> x11DisplayProblem();

} // namespace velnor
