#pragma once

#include "core/Lifetime.h"
#include "core/Scheduler.h"

#include <QString>

#include <functional>

namespace velnor {

class AccessibilityInserter;
class Logger;

// Runs accessibility insertions off the GUI thread within a time budget.
// When the budget runs out before the write began, the insertion is
// abandoned (the worker may no longer write) and reported as failed; once
// the write began, its own result is awaited so text is never inserted twice.
class AccessibilityWorker final {
public:
    using Executor = std::function<void(std::function<void()>)>;
    using Completion = std::function<void(bool inserted)>;

    // `background` runs work on the worker thread, `toMain` hops back to the
    // GUI thread; `scheduler` is the GUI thread's.
    AccessibilityWorker(AccessibilityInserter& inserter, Executor background, Executor toMain, Scheduler& scheduler,
                        Logger& log, Duration budget = seconds(1.5));
    ~AccessibilityWorker();

    void insert(qint32 processId, const QString& appName, const QString& text, Completion completion);

private:
    AccessibilityInserter& m_inserter;
    Executor m_background;
    Executor m_toMain;
    Scheduler& m_scheduler;
    Logger& m_log;
    const Duration m_budget;
    Lifetime m_lifetime;
};

} // namespace velnor
