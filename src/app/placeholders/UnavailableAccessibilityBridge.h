#pragma once

#include "platform/AccessibilityBridge.h"

namespace velnor {

// Stands in while no accessibility backend is part of the build: every
// insertion goes through the clipboard.
class UnavailableAccessibilityBridge final : public AccessibilityBridge {
public:
    bool isAvailable() override { return false; }
    std::shared_ptr<AccessibleElement> applicationElement(qint32, Duration) override { return nullptr; }
    FocusedElementResult focusedElement(AccessibleElement&) override
    {
        return {nullptr, AccessibilityError::CannotComplete};
    }
};

} // namespace velnor
