#pragma once

#include "platform/AccessibilityBridge.h"

#include <QString>

#include <functional>

namespace velnor::atspi {

class HelperConnection;

// The accessibility bridge of the app: forwards every call to the
// velnor-atspi-helper process (started on first use, restarted after it
// died or missed a deadline). Use it from one worker thread.
class AtspiHelperBridge final : public AccessibilityBridge {
public:
    // Why the helper is not running (cannot start, stopped answering); called
    // on the bridge's thread.
    using Diagnostics = std::function<void(const QString& message)>;

    explicit AtspiHelperBridge(QString helperPath = defaultHelperPath(), Diagnostics report = {});
    ~AtspiHelperBridge() override;

    // Beside the running executable, else in ../libexec/velnor, else where
    // the build put it.
    static QString defaultHelperPath();
    static QString findHelper(const QString& programDir, const QString& buildPath);

    bool isAvailable() override;
    std::shared_ptr<AccessibleElement> applicationElement(qint32 processId, Duration messagingTimeout,
                                                          Duration searchBudget) override;
    FocusedElementResult focusedElement(AccessibleElement& application) override;

private:
    std::shared_ptr<HelperConnection> connection();

    const QString m_helperPath;
    const Diagnostics m_report;
    bool m_startFailed = false;
    std::shared_ptr<HelperConnection> m_connection;
};

} // namespace velnor::atspi
