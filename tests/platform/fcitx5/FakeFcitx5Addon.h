#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QStringList>

namespace velnor::test {

// A private session bus for one test: its own dbus-daemon, ended with it.
class PrivateBus final {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool isUp() const { return !m_address.isEmpty(); }
    // A new connection of its own (another "process" on the bus).
    QDBusConnection connect(const QString& name);

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// Stands in for Fcitx5 with Velnor's addon on the bus: answers the addon's
// methods, records them as "Method(arguments)" and emits its signals to the
// client that set the chord.
class FakeFcitx5Addon final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velnor.Fcitx5")
public:
    explicit FakeFcitx5Addon(QDBusConnection bus);

    // Fcitx5 starts (owns its name), then loads the addon (owns ours).
    bool startFcitx();
    bool loadAddon();
    // The addon goes away (Fcitx5 restarted without it).
    void unloadAddon();
    // Fcitx5 ends without answering: the bus tells callers there is no reply.
    void crash();

    void focus(const QString& program, quint64 capabilities = 0);
    void unfocus();
    void pressModifiers(quint32 modifiers);

    QStringList calls;
    QString client;
    bool focused = false;
    QString program;
    quint64 capabilities = 0;
    // Leaves commits unanswered (the addon hangs, then vanishes).
    bool holdCommits = false;

public slots:
    void SetHotkey(uint chord);
    bool CommitString(const QString& text);
    bool SetPreedit(const QString& text);
    void ClearPreedit();
    bool ForwardKey(uint keysym, uint states);
    bool FocusedContext(QString& programOut, qulonglong& capabilitiesOut);

private:
    void emitToClient(const QString& name, const QList<QVariant>& arguments);

    QDBusConnection m_bus;
    QList<QDBusMessage> m_heldCommits;
};

} // namespace velnor::test
