#include "platform/linux/session/DBusSessionLock.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace velnor::session {

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogindSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kLockedHint = QStringLiteral("LockedHint");
// A hung service must not keep an answer pending for long; its signals still count.
constexpr int kCallTimeoutMs = 5000;

QDBusMessage methodCall(const QString& service, const QString& path, const QString& interface, const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    // Asking whether a screen saver is active must not start one.
    call.setAutoStartService(false);
    return call;
}

} // namespace

struct DBusSessionLock::ScreenSaver {
    QString service;
    QString path;
};

DBusSessionLock::DBusSessionLock(QDBusConnection sessionBus, QDBusConnection systemBus, QObject* parent)
    : QObject(parent)
    , m_sessionBus(std::move(sessionBus))
    , m_systemBus(std::move(systemBus))
{
    watchScreenSaver({QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver")},
                     SLOT(onFreedesktopScreenSaverActive(bool)));
    watchScreenSaver({QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver")},
                     SLOT(onGnomeScreenSaverActive(bool)));
    findSession();
}

void DBusSessionLock::watchScreenSaver(const ScreenSaver& saver, const char* slot)
{
    // The interface is named as the service on both desktops.
    m_sessionBus.connect(saver.service, saver.path, saver.service, QStringLiteral("ActiveChanged"), this, slot);
    callAsync(m_sessionBus, methodCall(saver.service, saver.path, saver.service, QStringLiteral("GetActive")),
              [this, service = saver.service](const QDBusMessage& reply) {
                  if (!reply.arguments().isEmpty())
                      setScreenSaverActive(service, reply.arguments().constFirst().toBool());
              });
}

void DBusSessionLock::onFreedesktopScreenSaverActive(bool active)
{
    setScreenSaverActive(QStringLiteral("org.freedesktop.ScreenSaver"), active);
}

void DBusSessionLock::onGnomeScreenSaverActive(bool active)
{
    setScreenSaverActive(QStringLiteral("org.gnome.ScreenSaver"), active);
}

void DBusSessionLock::setScreenSaverActive(const QString& service, bool active)
{
    const bool wasLocked = isLocked();
    if (active)
        m_activeScreenSavers.insert(service);
    else
        m_activeScreenSavers.remove(service);
    update(wasLocked);
}

void DBusSessionLock::findSession()
{
    // "auto": the caller's session, else the user's graphical one (an app
    // started by the user's service manager belongs to no session).
    QDBusMessage call = methodCall(kLogind, kLogindManagerPath, kLogindManager, QStringLiteral("GetSession"));
    call << QStringLiteral("auto");
    callAsync(m_systemBus, call, [this](const QDBusMessage& reply) {
        if (reply.arguments().isEmpty())
            return;
        m_sessionPath = reply.arguments().constFirst().value<QDBusObjectPath>().path();
        if (m_sessionPath.isEmpty())
            return;
        m_systemBus.connect(kLogind, m_sessionPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                            SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
        readLockedHint();
    });
}

void DBusSessionLock::readLockedHint()
{
    QDBusMessage get = methodCall(kLogind, m_sessionPath, kProperties, QStringLiteral("Get"));
    get << kLogindSession << kLockedHint;
    callAsync(m_systemBus, get, [this](const QDBusMessage& reply) {
        if (!reply.arguments().isEmpty())
            setLogindLocked(reply.arguments().constFirst().value<QDBusVariant>().variant().toBool());
    });
}

void DBusSessionLock::onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                 const QStringList& invalidated)
{
    if (interface != kLogindSession)
        return;
    if (changed.contains(kLockedHint))
        setLogindLocked(changed.value(kLockedHint).toBool());
    else if (invalidated.contains(kLockedHint))
        readLockedHint();
}

void DBusSessionLock::setLogindLocked(bool locked)
{
    const bool wasLocked = isLocked();
    m_logindLocked = locked;
    update(wasLocked);
}

void DBusSessionLock::update(bool wasLocked)
{
    if (isLocked() != wasLocked)
        emit lockedChanged(isLocked());
}

void DBusSessionLock::callAsync(QDBusConnection& bus, const QDBusMessage& call,
                                std::function<void(const QDBusMessage&)> onReply)
{
    if (!bus.isConnected())
        return;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [onReply = std::move(onReply)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                // An absent service or an error: nothing is known, nothing changes.
                if (!finished->isError())
                    onReply(finished->reply());
            });
}

} // namespace velnor::session
