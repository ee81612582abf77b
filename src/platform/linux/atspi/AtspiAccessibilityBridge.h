#pragma once

#include "platform/AccessibilityBridge.h"

#include <chrono>

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
    std::shared_ptr<AccessibleElement> applicationElement(qint32 processId, Duration messagingTimeout,
                                                          Duration searchBudget) override;
    FocusedElementResult focusedElement(AccessibleElement& application) override;

private:
    // The application found for a process id last time, kept so that the
    // next insertion into it skips asking every application for its id.
    struct KnownApplication;

    bool ensureInitialised();
    void drainEvents();
    std::shared_ptr<AccessibleElement> knownApplication(qint32 processId,
                                                        std::chrono::steady_clock::time_point walkDeadline);

    std::unique_ptr<KnownApplication> m_lastApplication;
    bool m_initialised = false;
    bool m_failed = false;
};

} // namespace velnor::atspi
