#pragma once

#include <QStringList>

namespace velnor {

// Runs the real dictation controller against simulated devices and a
// simulated backend, in real time: one traditional and one real-time
// dictation, printing the application log and the delivered text.
// Returns the process exit code (0 when both texts were delivered).
int runHeadlessSimulation();

} // namespace velnor
