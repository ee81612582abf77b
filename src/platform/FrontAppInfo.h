#pragma once

#include <QString>

#include <optional>

namespace velnor {

// The frontmost application at the moment it was asked for. On Linux the
// bundle id is the window's WM_CLASS class name.
struct FrontAppInfo {
    std::optional<QString> bundleId;
    std::optional<QString> localizedName;
    qint32 processId = 0;
};

} // namespace velnor
