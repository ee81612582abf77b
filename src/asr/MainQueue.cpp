#include "asr/MainQueue.h"

namespace velnor {

void QtMainQueue::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(&m_context, std::move(work), Qt::QueuedConnection);
}

} // namespace velnor
