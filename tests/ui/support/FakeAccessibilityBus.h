#pragma once

#include "ui/onboarding/AccessibilityBus.h"

namespace velnor::test {

// The desktop's accessibility switch; enabling takes effect after
// `checksUntilEnabled` further checks (the bus reports with a delay).
class FakeAccessibilityBus final : public AccessibilityBus {
public:
    bool isEnabled() const override
    {
        ++checks;
        if (pendingChecks > 0 && --pendingChecks == 0)
            enabled = true;
        return enabled;
    }
    std::optional<QString> enable() override
    {
        ++enableCalls;
        if (failure)
            return failure;
        pendingChecks = checksUntilEnabled;
        if (pendingChecks == 0)
            enabled = true;
        return std::nullopt;
    }

    mutable bool enabled = false;
    int checksUntilEnabled = 0;
    std::optional<QString> failure;
    mutable int pendingChecks = 0;
    mutable int checks = 0;
    int enableCalls = 0;
};

} // namespace velnor::test
