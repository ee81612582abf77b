#pragma once

#include "platform/AccessibilityBridge.h"

namespace velnor::atspi {

// The accessibility bridge over the AT-SPI bus, for the helper process (see
// AtspiHelperProtocol.h): it assumes nothing else in the process iterates
// GLib's default main context, and drains that context itself before each
// lookup so that applications that came or went are known.
class AtspiAccessibilityBridge final : public AccessibilityBridge {
public:
    AtspiAccessibilityBridge();
    ~AtspiAccessibilityBridge() override;

    bool isAvailable() override;
    std::shared_ptr<AccessibleElement> applicationElement(qint32 processId, Duration messagingTimeout) override;
    FocusedElementResult focusedElement(AccessibleElement& application) override;

private:
    bool ensureInitialised();
    void drainEvents();

    bool m_initialised = false;
    bool m_failed = false;
};

} // namespace velnor::atspi
