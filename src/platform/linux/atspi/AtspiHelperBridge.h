#pragma once

#include "platform/AccessibilityBridge.h"

#include <QString>

namespace velnor::atspi {

class HelperConnection;

// The accessibility bridge of the app: forwards every call to the
// velnor-atspi-helper process (started on first use, restarted after it
// died or missed a deadline). Use it from one worker thread.
class AtspiHelperBridge final : public AccessibilityBridge {
public:
    explicit AtspiHelperBridge(QString helperPath = defaultHelperPath());
    ~AtspiHelperBridge() override;

    // Beside the running executable, else in ../libexec/velnor, else where
    // the build put it.
    static QString defaultHelperPath();

    bool isAvailable() override;
    std::shared_ptr<AccessibleElement> applicationElement(qint32 processId, Duration messagingTimeout) override;
    FocusedElementResult focusedElement(AccessibleElement& application) override;

private:
    std::shared_ptr<HelperConnection> connection();

    const QString m_helperPath;
    std::shared_ptr<HelperConnection> m_connection;
};

} // namespace velnor::atspi
