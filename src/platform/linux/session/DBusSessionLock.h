#pragma once

#include "platform/SessionLock.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QDBusMessage;
class QDBusPendingCall;

namespace velnor::session {

// The session counts as locked when logind's "LockedHint" of our session is
// set or a screen saver that is present (org.freedesktop.ScreenSaver,
// org.gnome.ScreenSaver) is active. Every read is an asynchronous call; the
// state is kept current from the services' change signals, so isLocked()
// answers at once from the latest copy. A service that is absent counts as
// unlocked; none is started for us.
class DBusSessionLock final : public QObject, public SessionLock {
    Q_OBJECT
public:
    // `sessionBus` carries the screen savers, `systemBus` logind.
    DBusSessionLock(QDBusConnection sessionBus, QDBusConnection systemBus, QObject* parent = nullptr);

    bool isLocked() const override { return m_logindLocked || !m_activeScreenSavers.isEmpty(); }

signals:
    void lockedChanged(bool locked);

private slots:
    void onFreedesktopScreenSaverActive(bool active);
    void onGnomeScreenSaverActive(bool active);
    void onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                    const QStringList& invalidated);

private:
    struct ScreenSaver;
    void watchScreenSaver(const ScreenSaver& saver, const char* slot);
    void setScreenSaverActive(const QString& service, bool active);
    void findSession();
    void readLockedHint();
    void setLogindLocked(bool locked);
    // Calls `onReply` with the reply when the call succeeded.
    void callAsync(QDBusConnection& bus, const QDBusMessage& call, std::function<void(const QDBusMessage&)> onReply);
    void update(bool wasLocked);

    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    QString m_sessionPath;
    bool m_logindLocked = false;
    QSet<QString> m_activeScreenSavers;
};

} // namespace velnor::session
