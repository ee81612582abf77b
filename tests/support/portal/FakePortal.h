#pragma once

#include "platform/linux/portal/PortalShortcut.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace velnor::test {

class FakePortal;

// The portal's "Activated" / "Deactivated" signal for shortcut `id` of `session`.
QDBusMessage shortcutSignal(const QString& name, const QString& session, const QString& id);

// What each interface of the fake portal has: its version and the portal it answers for.
class FakePortalInterface : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_PROPERTY(uint version READ version)
public:
    FakePortalInterface(FakePortal& portal, uint version);
    uint version() const { return m_version; }

protected:
    FakePortal& m_portal;

private:
    uint m_version;
};

class FakeGlobalShortcuts final : public FakePortalInterface {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
public:
    using FakePortalInterface::FakePortalInterface;

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options);
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& session, const QList<velnor::portal::PortalShortcut>& shortcuts,
                                  const QString& parentWindow, const QVariantMap& options);
};

class FakeRemoteDesktop final : public FakePortalInterface {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
public:
    using FakePortalInterface::FakePortalInterface;

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options);
    QDBusObjectPath SelectDevices(const QDBusObjectPath& session, const QVariantMap& options);
    QDBusObjectPath Start(const QDBusObjectPath& session, const QString& parentWindow, const QVariantMap& options);
    void NotifyKeyboardKeysym(const QDBusObjectPath& session, const QVariantMap& options, int keysym, uint state);
};

// Stands in for the desktop portal on a private session bus: implements the
// documented GlobalShortcuts and RemoteDesktop requests (answers arrive as
// the Request object's Response signal, after the call returned), records
// every call in `calls`, and is told by the test how the "user" answers.
class FakePortal final : public QObject, public QDBusContext {
    Q_OBJECT
public:
    // A version of 0 leaves that interface out.
    FakePortal(QDBusConnection bus, uint globalShortcutsVersion, uint remoteDesktopVersion);
    bool start();
    // The portal process ends / a new one takes the name (sessions are gone).
    void vanish();
    bool reappear();

    // The user presses / releases the bound shortcut `id` in the latest session.
    void activate(const QString& id);
    void deactivate(const QString& id);

    // "GlobalShortcuts.BindShortcuts" or "RemoteDesktop.Start" → the response
    // code it answers with (0 when not listed; 1 is the user cancelling).
    QHash<QString, uint> responses;
    // The token the RemoteDesktop portal hands out on Start.
    QString issuedToken = QStringLiteral("restore-1");

    QStringList calls;
    QStringList openSessions;
    QString lastShortcutSession;

    // For the interfaces: answers `method` with `results` (or refuses, as `responses` says).
    QDBusObjectPath answer(const QString& method, QVariantMap results, const QVariantMap& options);
    // "<interface>.CreateSession": a new open session, answered.
    QDBusObjectPath createSession(const QString& interface, const QVariantMap& options);
    bool isOpen(const QDBusObjectPath& session) const { return openSessions.contains(session.path()); }

    // org.freedesktop.portal.Session.Close on a session path.
    void closeSession(const QString& path);

private:
    QString caller() const;

    QDBusConnection m_bus;
};

} // namespace velnor::test
