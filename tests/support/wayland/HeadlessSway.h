#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

#include <memory>
#include <vector>

namespace velnor::test {

// A private Wayland desktop for tests: headless Sway with its own runtime
// directory, session bus with the accessibility bus enabled, XWayland when
// asked, and a long-lived virtual keyboard (without one the seat has no
// keyboard and no client ever gets keyboard focus).
//
// Sway refuses to run as root, and a Wayland client must run as the
// compositor's user, so Sway, its bus and every client run as `kUser`;
// `command()` wraps a program so. The test itself may stay root.
// Everything started here is stopped by PID when the object goes.
class HeadlessSway final {
public:
    static constexpr uid_t kUser = 65534;

    explicit HeadlessSway(bool xwayland = false);
    ~HeadlessSway();

    // Empty once everything is up; otherwise what failed to start.
    QString error() const { return m_error; }
    bool isRunning() const { return m_error.isEmpty(); }

    // A home directory and runtime directory the session user owns.
    QString home() const { return m_base.filePath(QStringLiteral("home")); }
    QString runtimeDir() const { return m_base.filePath(QStringLiteral("runtime")); }
    // ":N" of XWayland; empty without it.
    QString xDisplay() const { return m_xDisplay; }

    // What a client of this session needs: WAYLAND_DISPLAY, XDG_RUNTIME_DIR,
    // DBUS_SESSION_BUS_ADDRESS, HOME, DISPLAY (with XWayland) and PATH.
    QProcessEnvironment clientEnvironment() const;
    // `program` and `arguments` as a command line that runs as the session user.
    static QStringList command(const QString& program, const QStringList& arguments);
    // Starts `program` as the session user with `environment`.
    static void start(QProcess& process, const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment);
    // Runs a short command as the session user in the client environment;
    // its standard output, or empty when it failed.
    QByteArray run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) const;

    // Hands a directory tree to the session user (the app's files there).
    static bool giveToUser(const QString& path);

    // A PNG of the whole output.
    bool screenshot(const QString& pngPath) const;
    // app_id (or X11 class) and name of the window with keyboard focus.
    QString focusedAppId() const;
    QString focusedTitle() const;

private:
    bool startBus();
    bool startAccessibility();
    bool startSway(bool xwayland);
    bool startKeyboard();
    void stop(QProcess& process);
    bool fail(const QString& why)
    {
        m_error = why;
        return false;
    }
    QJsonObject focusedNode() const;

    QTemporaryDir m_base;
    QString m_busAddress;
    QString m_waylandDisplay;
    QString m_xDisplay;
    QString m_swaySocket;
    QString m_error;
    // Start order; stopped in reverse.
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace velnor::test
