#pragma once

#include <QString>

#include <optional>

namespace velnor {

// The desktop's accessibility switch: on Linux the AT-SPI bus, which other
// applications join only when they start after it was enabled.
class AccessibilityBus {
public:
    AccessibilityBus() = default;
    virtual ~AccessibilityBus() = default;
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    virtual bool isEnabled() const = 0;
    // Turns it on; the error text when the desktop refused.
    virtual std::optional<QString> enable() = 0;
};

} // namespace velnor
