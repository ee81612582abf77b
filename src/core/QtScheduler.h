#pragma once

#include "core/Scheduler.h"

#include <QObject>

namespace velnor {

// Production scheduler: single-shot QTimers on the thread that owns it.
class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    Cancellable after(Duration delay, std::function<void()> work) override;

private:
    // Timers are parented to this object, so none fires after destruction.
    QObject m_context;
};

} // namespace velnor
