#pragma once

#include "platform/linux/session/SessionFacts.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <functional>

namespace velnor::session {

// Learns what the session offers: the display server (from the
// environment), the desktop portal's GlobalShortcuts and RemoteDesktop
// versions and whether Fcitx5 runs (asynchronous calls on the session bus),
// and the compositor's globals (a short-lived Wayland connection). Every
// question has the same deadline; what does not answer in time counts as
// absent.
class SessionProbe final {
public:
    struct Environment {
        QByteArray waylandDisplay; // WAYLAND_DISPLAY
        QByteArray sessionType;    // XDG_SESSION_TYPE
        QString currentDesktop;    // XDG_CURRENT_DESKTOP
    };
    static Environment processEnvironment();

    SessionProbe(QDBusConnection bus, Environment environment, std::chrono::milliseconds deadline);

    // Calls `done` once, later, on this thread.
    void run(std::function<void(const SessionFacts&)> done);

private:
    QDBusConnection m_bus;
    Environment m_environment;
    std::chrono::milliseconds m_deadline;
};

} // namespace velnor::session
