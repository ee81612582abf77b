#pragma once

#include "ui/onboarding/AccessibilityBus.h"

#include <QList>

namespace velnor::test {

// The desktop's accessibility switch; enabling takes effect after
// `checksUntilEnabled` further checks (the bus reports with a delay).
// Answers at once unless `holdAnswers` is set; held answers wait in
// `heldAnswers` until the test releases them.
class FakeAccessibilityBus final : public AccessibilityBus {
public:
    void checkEnabled(Answer answer) override
    {
        ++checks;
        if (pendingChecks > 0 && --pendingChecks == 0)
            enabled = true;
        if (holdAnswers)
            heldAnswers.append([answer, now = enabled] { answer(now); });
        else
            answer(enabled);
    }
    void enable(Done done) override
    {
        ++enableCalls;
        pendingChecks = checksUntilEnabled;
        if (pendingChecks == 0)
            enabled = true;
        done(std::nullopt);
    }
    void releaseAnswers()
    {
        const auto answers = std::exchange(heldAnswers, {});
        for (const auto& answer : answers)
            answer();
    }

    bool enabled = false;
    int checksUntilEnabled = 0;
    int pendingChecks = 0;
    int checks = 0;
    int enableCalls = 0;
    bool holdAnswers = false;
    QList<std::function<void()>> heldAnswers;
};

} // namespace velnor::test
