#pragma once

#include <QString>

namespace velnor {

// The OS type the backend is told ("os_type", the update check's platform):
// "linux" here, "macos" on macOS.
QString currentOsType();

} // namespace velnor
