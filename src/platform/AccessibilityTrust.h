#pragma once

namespace velnor {

// Whether this process may read and drive other applications' UI and post
// synthetic input (macOS: accessibility trust; Linux: AT-SPI bus + XTest).
class AccessibilityTrust {
public:
    AccessibilityTrust() = default;
    virtual ~AccessibilityTrust() = default;
    AccessibilityTrust(const AccessibilityTrust&) = delete;
    AccessibilityTrust& operator=(const AccessibilityTrust&) = delete;

    virtual bool isProcessTrusted() const = 0;
};

} // namespace velnor
