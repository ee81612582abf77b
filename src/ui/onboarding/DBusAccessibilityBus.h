#pragma once

#include "ui/onboarding/AccessibilityBus.h"

namespace velnor {

// org.a11y.Status.IsEnabled on the session bus's "org.a11y.Bus" service.
class DBusAccessibilityBus final : public AccessibilityBus {
public:
    bool isEnabled() const override;
    std::optional<QString> enable() override;
};

} // namespace velnor
