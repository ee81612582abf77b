#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace velnor {

// The desktop's accessibility switch: on Linux the AT-SPI bus, which other
// applications join only when they start after it was enabled. Both calls
// return at once; the answer comes later on the calling thread (a desktop
// service that hangs must not hold up the hotkey or the paste).
class AccessibilityBus {
public:
    using Answer = std::function<void(bool enabled)>;
    using Done = std::function<void(const std::optional<QString>& error)>;

    AccessibilityBus() = default;
    virtual ~AccessibilityBus() = default;
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    // Not enabled when the desktop does not answer.
    virtual void checkEnabled(Answer answer) = 0;
    // Turns it on; `done` gets the error text when the desktop refused.
    virtual void enable(Done done) = 0;
};

} // namespace velnor
