#include "core/QtScheduler.h"

#include <QTimer>

#include <algorithm>

namespace velnor {

QtScheduler::QtScheduler() = default;
QtScheduler::~QtScheduler() = default;

Cancellable QtScheduler::after(Duration delay, std::function<void()> work)
{
    Cancellable handle = Cancellable::create();
    // QTimer refuses a negative interval and the work would never run; a
    // deadline in the past means "as soon as possible", as in ManualScheduler.
    QTimer::singleShot(std::max(delay, Duration::zero()), Qt::PreciseTimer, &m_context, [handle, work = std::move(work)] {
        if (handle.beginRun())
            work();
    });
    return handle;
}

} // namespace velnor
