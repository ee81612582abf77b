#pragma once

#include "core/SerialQueue.h"
#include "textinput/AccessibilityWorker.h"

#include <QObject>

namespace velnor {

// The worker thread the accessibility bridge lives on, and the hop back to
// the thread that made this object (the GUI thread). Destroy it before the
// bridge and inserter its work uses: queued work drains first.
class AccessibilityThread final {
public:
    AccessibilityThread();

    AccessibilityWorker::Executor background();
    AccessibilityWorker::Executor toMain();

    // Blocks until queued work ran, e.g. before destroying the bridge there.
    void runAndWait(std::function<void()> work);

private:
    QObject m_mainContext;
    SerialQueue m_queue{QStringLiteral("com.velnor.accessibility")};
};

} // namespace velnor
