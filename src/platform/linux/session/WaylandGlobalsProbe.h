#pragma once

#include "platform/linux/session/SessionFacts.h"

#include <QByteArray>

#include <chrono>
#include <optional>

namespace velnor::session {

// Connects to the compositor (`display` empty: $WAYLAND_DISPLAY), lists its
// globals and disconnects. None when no compositor answers within `deadline`.
std::optional<WaylandGlobals> probeWaylandGlobals(const QByteArray& display, std::chrono::milliseconds deadline);

// Which of the interesting globals an interface name is; for the probe's
// registry listener.
void noteWaylandGlobal(WaylandGlobals& globals, const char* interfaceName);

} // namespace velnor::session
