#pragma once

#include "support/ChildProcess.h"
#include "support/EventLoopWait.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace velnor::test {

// Fcitx5 on the test desktop with Velnor's addon from the build tree (no
// system install: `addonDataHome` holds fcitx5/addon/velnor.conf) and two
// keyboard layouts, so its Ctrl+Shift hotkey would switch between them.
// `dir` is its HOME; its log is dir/fcitx5.log. `launch` starts it (in
// `environment`, plus the above) where the test needs it, e.g. as another user.
class Fcitx5Process final {
public:
    using Launcher = std::function<void(QProcess& process, const QString& program, const QStringList& arguments,
                                        const QProcessEnvironment& environment)>;

    Fcitx5Process(const QString& dir, const QString& addonDataHome,
                  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(), const Launcher& launch = {})
    {
        QDir().mkpath(dir + QStringLiteral("/config/fcitx5"));
        QFile profile(dir + QStringLiteral("/config/fcitx5/profile"));
        if (!profile.open(QIODevice::WriteOnly))
            return;
        profile.write("[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=keyboard-us\n\n"
                      "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n"
                      "[Groups/0/Items/1]\nName=keyboard-de\nLayout=\n\n[GroupOrder]\n0=Default\n");
        profile.close();
        environment.insert(QStringLiteral("HOME"), dir);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), addonDataHome);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(dir + QStringLiteral("/fcitx5.log"));
        // Its own clipboard watcher and panels stay out of the clipboard and focus checks.
        const QStringList arguments{
            "--replace", "--disable=classicui,clipboard,notificationitem,kimpanel,quickphrase,emoji,unicode,imselector"};
        if (launch) {
            launch(m_process, QStringLiteral("fcitx5"), arguments, environment);
        } else {
            m_process.setProcessEnvironment(environment);
            m_process.start(QStringLiteral("fcitx5"), arguments);
        }
    }
    ~Fcitx5Process() { endAsLogoutWould(m_process, 5000); }

    bool waitForAddon()
    {
        return waitUntil(
            [] {
                const QDBusConnectionInterface* names = QDBusConnection::sessionBus().interface();
                return names && names->isServiceRegistered(QStringLiteral("org.velnor.Fcitx5")).value();
            },
            15000);
    }

    QString currentInputMethod() const
    {
        QDBusInterface controller(QStringLiteral("org.fcitx.Fcitx5"), QStringLiteral("/controller"),
                                  QStringLiteral("org.fcitx.Fcitx.Controller1"));
        return QDBusReply<QString>(controller.call(QStringLiteral("CurrentInputMethod"))).value();
    }

private:
    QProcess m_process;
};

} // namespace velnor::test
