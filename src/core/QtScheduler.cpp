#include "core/QtScheduler.h"

#include <QTimer>

namespace velnor {

QtScheduler::QtScheduler() = default;
QtScheduler::~QtScheduler() = default;

Cancellable QtScheduler::after(Duration delay, std::function<void()> work)
{
    Cancellable handle = Cancellable::create();
    QTimer::singleShot(delay, Qt::PreciseTimer, &m_context, [handle, work = std::move(work)] {
        if (handle.beginRun())
            work();
    });
    return handle;
}

} // namespace velnor
