#include "textinput/AccessibilityThread.h"

#include <QMetaObject>

namespace velnor {

AccessibilityThread::AccessibilityThread() = default;

AccessibilityWorker::Executor AccessibilityThread::background()
{
    return [this](std::function<void()> work) { m_queue.async(std::move(work)); };
}

AccessibilityWorker::Executor AccessibilityThread::toMain()
{
    return [this](std::function<void()> work) {
        QMetaObject::invokeMethod(&m_mainContext, std::move(work), Qt::QueuedConnection);
    };
}

void AccessibilityThread::runAndWait(std::function<void()> work)
{
    m_queue.async(std::move(work));
    m_queue.waitUntilIdle();
}

} // namespace velnor
