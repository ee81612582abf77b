#include "support/portal/FakePortal.h"

#include <QDBusVirtualObject>
#include <QTimer>

namespace velnor::test {
namespace {

const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");

QString senderPart(const QString& uniqueName) { return uniqueName.mid(1).replace(QLatin1Char('.'), QLatin1Char('_')); }

// Every session object below .../session: answers Close.
class SessionObjects final : public QDBusVirtualObject {
public:
    explicit SessionObjects(FakePortal& portal) : QDBusVirtualObject(&portal), m_portal(portal) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.portal.Session")
            || message.member() != QLatin1String("Close"))
            return false;
        m_portal.closeSession(message.path());
        QDBusConnection(connection).send(message.createReply());
        return true;
    }

private:
    FakePortal& m_portal;
};

} // namespace

QDBusMessage shortcutSignal(const QString& name, const QString& session, const QString& id)
{
    QDBusMessage signal = QDBusMessage::createSignal(kPortalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), name);
    signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
    return signal;
}

FakePortalInterface::FakePortalInterface(FakePortal& portal, uint version)
    : QDBusAbstractAdaptor(&portal)
    , m_portal(portal)
    , m_version(version)
{
}

QDBusObjectPath FakeGlobalShortcuts::CreateSession(const QVariantMap& options)
{
    const QDBusObjectPath request = m_portal.createSession(QStringLiteral("GlobalShortcuts"), options);
    m_portal.lastShortcutSession = m_portal.openSessions.last();
    return request;
}

QDBusObjectPath FakeGlobalShortcuts::BindShortcuts(const QDBusObjectPath& session,
                                                   const QList<portal::PortalShortcut>& shortcuts, const QString&,
                                                   const QVariantMap& options)
{
    portal::PortalShortcutList bound;
    for (const portal::PortalShortcut& shortcut : shortcuts) {
        m_portal.calls.append(QStringLiteral("GlobalShortcuts.BindShortcuts(%1, %2, %3)")
                                  .arg(shortcut.id, shortcut.properties.value(QStringLiteral("preferred_trigger")).toString(),
                                       m_portal.isOpen(session) ? QStringLiteral("open") : QStringLiteral("closed")));
        // The trigger is what the portal's dialog says the user chose.
        bound.append({shortcut.id,
                      {{QStringLiteral("description"), shortcut.properties.value(QStringLiteral("description"))},
                       {QStringLiteral("trigger_description"), QStringLiteral("Shift+Control_R")}}});
    }
    return m_portal.answer(QStringLiteral("GlobalShortcuts.BindShortcuts"),
                           {{QStringLiteral("shortcuts"), QVariant::fromValue(bound)}}, options);
}

QDBusObjectPath FakeRemoteDesktop::CreateSession(const QVariantMap& options)
{
    return m_portal.createSession(QStringLiteral("RemoteDesktop"), options);
}

QDBusObjectPath FakeRemoteDesktop::SelectDevices(const QDBusObjectPath&, const QVariantMap& options)
{
    m_portal.calls.append(QStringLiteral("RemoteDesktop.SelectDevices(types=%1, persist=%2, token=%3)")
                              .arg(options.value(QStringLiteral("types")).toUInt())
                              .arg(options.value(QStringLiteral("persist_mode")).toUInt())
                              .arg(options.value(QStringLiteral("restore_token")).toString()));
    return m_portal.answer(QStringLiteral("RemoteDesktop.SelectDevices"), {}, options);
}

QDBusObjectPath FakeRemoteDesktop::Start(const QDBusObjectPath&, const QString&, const QVariantMap& options)
{
    m_portal.calls.append(QStringLiteral("RemoteDesktop.Start"));
    return m_portal.answer(QStringLiteral("RemoteDesktop.Start"),
                           {{QStringLiteral("devices"), 1u}, {QStringLiteral("restore_token"), m_portal.issuedToken}},
                           options);
}

void FakeRemoteDesktop::NotifyKeyboardKeysym(const QDBusObjectPath& session, const QVariantMap&, int keysym, uint state)
{
    m_portal.calls.append(QStringLiteral("Key(%1, %2%3)")
                              .arg(QString::number(keysym, 16))
                              .arg(state)
                              .arg(m_portal.isOpen(session) ? QString() : QStringLiteral(", no session")));
}

FakePortal::FakePortal(QDBusConnection bus, uint globalShortcutsVersion, uint remoteDesktopVersion)
    : m_bus(std::move(bus))
{
    portal::registerPortalShortcutTypes();
    if (globalShortcutsVersion > 0)
        new FakeGlobalShortcuts(*this, globalShortcutsVersion);
    if (remoteDesktopVersion > 0)
        new FakeRemoteDesktop(*this, remoteDesktopVersion);
}

bool FakePortal::start()
{
    return m_bus.registerObject(kPortalPath, this, QDBusConnection::ExportAdaptors)
        && m_bus.registerVirtualObject(kPortalPath + QStringLiteral("/session"), new SessionObjects(*this),
                                       QDBusConnection::SubPath)
        && reappear();
}

void FakePortal::vanish()
{
    m_bus.unregisterService(kPortalName);
    openSessions.clear();
}

bool FakePortal::reappear() { return m_bus.registerService(kPortalName); }

QString FakePortal::caller() const { return calledFromDBus() ? message().service() : QString(); }

QDBusObjectPath FakePortal::createSession(const QString& interface, const QVariantMap& options)
{
    const QString method = interface + QStringLiteral(".CreateSession");
    calls.append(method);
    openSessions.append(QStringLiteral("%1/session/%2/%3")
                            .arg(kPortalPath, senderPart(caller()),
                                 options.value(QStringLiteral("session_handle_token")).toString()));
    return answer(method, {{QStringLiteral("session_handle"), openSessions.last()}}, options);
}

QDBusObjectPath FakePortal::answer(const QString& method, QVariantMap results, const QVariantMap& options)
{
    const QString path = QStringLiteral("%1/request/%2/%3")
                             .arg(kPortalPath, senderPart(caller()), options.value(QStringLiteral("handle_token")).toString());
    const uint response = responses.value(method, 0);
    if (response != 0)
        results.clear();
    // The answer follows the method's return, as a real portal's does.
    QTimer::singleShot(0, this, [this, path, response, results] {
        QDBusMessage signal =
            QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        m_bus.send(signal);
    });
    return QDBusObjectPath(path);
}

void FakePortal::closeSession(const QString& path)
{
    calls.append(QStringLiteral("Close"));
    openSessions.removeAll(path);
}

void FakePortal::activate(const QString& id)
{
    m_bus.send(shortcutSignal(QStringLiteral("Activated"), lastShortcutSession, id));
}

void FakePortal::deactivate(const QString& id)
{
    m_bus.send(shortcutSignal(QStringLiteral("Deactivated"), lastShortcutSession, id));
}

} // namespace velnor::test
