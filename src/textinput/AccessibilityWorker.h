#pragma once

#include "core/Lifetime.h"
#include "core/Scheduler.h"
#include "textinput/AccessibilityInserter.h"

#include <QString>

#include <functional>

namespace velnor {

class Logger;

// Runs accessibility insertions off the GUI thread within a time budget.
// When the budget runs out before the write began, the insertion is
// abandoned (the worker may no longer write) and reported as not inserted;
// once the write began, its own result is awaited, for `writeLimit` at
// most: past that it is reported Unknown, so text is never inserted twice.
class AccessibilityWorker final {
public:
    using Executor = std::function<void(std::function<void()>)>;
    using Completion = std::function<void(AccessibilityOutcome outcome)>;

    // `background` runs work on the worker thread, `toMain` hops back to the
    // GUI thread; `scheduler` is the GUI thread's.
    AccessibilityWorker(AccessibilityInserter& inserter, Executor background, Executor toMain, Scheduler& scheduler,
                        Logger& log, Duration budget = seconds(1.5), Duration writeLimit = seconds(12.0));
    ~AccessibilityWorker();

    void insert(qint32 processId, const QString& appName, const QString& text, Completion completion);

private:
    AccessibilityInserter& m_inserter;
    Executor m_background;
    Executor m_toMain;
    Scheduler& m_scheduler;
    Logger& m_log;
    const Duration m_budget;
    const Duration m_writeLimit;
    Lifetime m_lifetime;
};

} // namespace velnor
