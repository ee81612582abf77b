#pragma once

#include "support/EventLoopWait.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStringList>

namespace velnor::test {

// A private session bus for one test: its own dbus-daemon, ended with it.
class PrivateBus final {
public:
    PrivateBus();
    ~PrivateBus();

    bool isUp() const { return !m_address.isEmpty(); }
    // A new connection of its own (another "process" on the bus).
    QDBusConnection connect(const QString& name);

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// Waits until a fake peer recorded `call` in `calls` `times` times, then lets
// any later call arrive too.
inline bool peerHeard(const QStringList& calls, const QString& call, int times = 1)
{
    const bool heard = waitUntil([&] { return calls.count(call) >= times; }, 5000);
    runEventLoopFor(20);
    return heard;
}

// Stands in for Fcitx5 with Velnor's addon on the bus: records each call to
// the addon but FocusedContext as "Method(arguments)" (numbers in hex),
// answers whether a field is focused, and emits the addon's signals to the
// client that set the chord.
class FakeFcitx5Addon final : public QDBusVirtualObject {
public:
    explicit FakeFcitx5Addon(QDBusConnection bus) : m_bus(std::move(bus)) {}

    // Fcitx5 starts (owns its name), then loads the addon (owns ours).
    bool startFcitx() { return m_bus.registerService(QStringLiteral("org.fcitx.Fcitx5")); }
    bool loadAddon()
    {
        return m_bus.registerVirtualObject(QStringLiteral("/org/velnor/Fcitx5"), this)
            && m_bus.registerService(QStringLiteral("org.velnor.Fcitx5"));
    }
    // The addon goes away (Fcitx5 restarted without it).
    void unloadAddon()
    {
        m_bus.unregisterService(QStringLiteral("org.velnor.Fcitx5"));
        m_bus.unregisterObject(QStringLiteral("/org/velnor/Fcitx5"));
    }
    // Fcitx5 ends without answering: the bus tells callers there is no reply.
    void crash()
    {
        unloadAddon();
        m_bus.unregisterService(QStringLiteral("org.fcitx.Fcitx5"));
        for (const QDBusMessage& held : std::as_const(m_heldCommits))
            m_bus.send(held.createErrorReply(QDBusError::NoReply, QStringLiteral("recipient disconnected")));
        m_heldCommits.clear();
    }

    // A field of `newProgram` takes the focus; none without a program.
    void focus(const QString& newProgram, quint64 newCapabilities = 0)
    {
        focused = !newProgram.isEmpty();
        program = newProgram;
        capabilities = newCapabilities;
        emitToClient(QStringLiteral("FocusChanged"), {focused, program, QVariant::fromValue(qulonglong(capabilities))});
    }
    void pressModifiers(quint32 modifiers)
    {
        emitToClient(QStringLiteral("ModifiersChanged"), {QVariant::fromValue(uint(modifiers))});
    }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override
    {
        if (call.member() == QLatin1String("FocusedContext"))
            return connection.send(call.createReply({focused, program, QVariant::fromValue(qulonglong(capabilities))}));
        QStringList arguments;
        for (const QVariant& argument : call.arguments())
            arguments << (argument.typeId() == QMetaType::QString ? argument.toString() : QString::number(argument.toUInt(), 16));
        calls << call.member() + QLatin1Char('(') + arguments.join(QLatin1Char(',')) + QLatin1Char(')');
        if (call.member() == QLatin1String("SetHotkey"))
            client = call.service();
        if (holdCommits && call.member() == QLatin1String("CommitString")) {
            call.setDelayedReply(true);
            m_heldCommits << call;
            return true;
        }
        return !call.isReplyRequired() || connection.send(call.createReply(focused));
    }
    QString introspect(const QString&) const override { return {}; }

    QStringList calls;
    QString client;
    bool focused = false;
    QString program;
    quint64 capabilities = 0;
    // Leaves commits unanswered (the addon hangs, then vanishes).
    bool holdCommits = false;

private:
    void emitToClient(const QString& name, const QList<QVariant>& arguments)
    {
        QDBusMessage signal = QDBusMessage::createTargetedSignal(client, QStringLiteral("/org/velnor/Fcitx5"),
                                                                 QStringLiteral("org.velnor.Fcitx5"), name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    QDBusConnection m_bus;
    QList<QDBusMessage> m_heldCommits;
};

} // namespace velnor::test
