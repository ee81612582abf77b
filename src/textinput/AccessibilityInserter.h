#pragma once

#include "core/Scheduler.h"

#include <QString>

#include <functional>
#include <memory>

namespace velnor {

class AccessibilityBridge;
class AccessibleElement;
class Logger;

// Writes text into the focused text element of an application through the
// accessibility bridge. Blocking: runs on the accessibility worker thread.
class AccessibilityInserter final {
public:
    // Asked right before the first write; false means the caller gave up
    // waiting, so nothing may be written any more.
    using WriteGate = std::function<bool()>;

    AccessibilityInserter(AccessibilityBridge& bridge, Logger& log, Duration messagingTimeout = seconds(5.0));

    bool insert(qint32 processId, const QString& appName, const QString& text, const WriteGate& mayWrite);

    std::shared_ptr<AccessibleElement> getAppRootElement(qint32 processId, const QString& appName);
    std::shared_ptr<AccessibleElement> getFocusedTextField(AccessibleElement& root);
    std::shared_ptr<AccessibleElement> findFocusedTextFieldRecursively(const std::shared_ptr<AccessibleElement>& element);
    bool isTextInputElement(AccessibleElement& element);
    bool isElementFocused(AccessibleElement& element);

private:
    bool write(AccessibleElement& field, const QString& text);

    AccessibilityBridge& m_bridge;
    Logger& m_log;
    const Duration m_messagingTimeout;
};

} // namespace velnor
