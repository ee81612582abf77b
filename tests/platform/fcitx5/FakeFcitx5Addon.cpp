#include "platform/fcitx5/FakeFcitx5Addon.h"

#include "support/EventLoopWait.h"

#include <QDBusConnectionInterface>

namespace velnor::test {

PrivateBus::PrivateBus()
{
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                    QStringLiteral("--print-address=1")});
    if (m_daemon.waitForStarted(5000) && waitUntil([this] { return m_daemon.canReadLine(); }, 5000))
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateBus::connect(const QString& name)
{
    m_connections << name;
    return QDBusConnection::connectToBus(m_address, name);
}

FakeFcitx5Addon::FakeFcitx5Addon(QDBusConnection bus) : m_bus(std::move(bus)) {}

bool FakeFcitx5Addon::startFcitx() { return m_bus.registerService(QStringLiteral("org.fcitx.Fcitx5")); }

bool FakeFcitx5Addon::loadAddon()
{
    return m_bus.registerObject(QStringLiteral("/org/velnor/Fcitx5"), this, QDBusConnection::ExportAllSlots)
        && m_bus.registerService(QStringLiteral("org.velnor.Fcitx5"));
}

void FakeFcitx5Addon::unloadAddon()
{
    m_bus.unregisterService(QStringLiteral("org.velnor.Fcitx5"));
    m_bus.unregisterObject(QStringLiteral("/org/velnor/Fcitx5"));
}

void FakeFcitx5Addon::crash()
{
    unloadAddon();
    m_bus.unregisterService(QStringLiteral("org.fcitx.Fcitx5"));
    for (const QDBusMessage& held : std::as_const(m_heldCommits))
        m_bus.send(held.createErrorReply(QDBusError::NoReply, QStringLiteral("recipient disconnected")));
    m_heldCommits.clear();
}

void FakeFcitx5Addon::focus(const QString& newProgram, quint64 newCapabilities)
{
    focused = true;
    program = newProgram;
    capabilities = newCapabilities;
    emitToClient(QStringLiteral("FocusChanged"),
                 {true, program, QVariant::fromValue(qulonglong(capabilities))});
}

void FakeFcitx5Addon::unfocus()
{
    focused = false;
    emitToClient(QStringLiteral("FocusChanged"), {false, QString(), QVariant::fromValue(qulonglong(0))});
}

void FakeFcitx5Addon::pressModifiers(quint32 modifiers)
{
    emitToClient(QStringLiteral("ModifiersChanged"), {QVariant::fromValue(uint(modifiers))});
}

void FakeFcitx5Addon::emitToClient(const QString& name, const QList<QVariant>& arguments)
{
    QDBusMessage signal = QDBusMessage::createTargetedSignal(client, QStringLiteral("/org/velnor/Fcitx5"),
                                                             QStringLiteral("org.velnor.Fcitx5"), name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

void FakeFcitx5Addon::SetHotkey(uint chord)
{
    calls << QStringLiteral("SetHotkey(%1)").arg(chord, 0, 16);
    client = message().service();
}

bool FakeFcitx5Addon::CommitString(const QString& text)
{
    calls << QStringLiteral("CommitString(%1)").arg(text);
    if (holdCommits) {
        setDelayedReply(true);
        m_heldCommits << message();
    }
    return focused;
}

bool FakeFcitx5Addon::SetPreedit(const QString& text)
{
    calls << QStringLiteral("SetPreedit(%1)").arg(text);
    return focused;
}

void FakeFcitx5Addon::ClearPreedit() { calls << QStringLiteral("ClearPreedit()"); }

bool FakeFcitx5Addon::ForwardKey(uint keysym, uint states)
{
    calls << QStringLiteral("ForwardKey(%1,%2)").arg(keysym, 0, 16).arg(states);
    return focused;
}

bool FakeFcitx5Addon::FocusedContext(QString& programOut, qulonglong& capabilitiesOut)
{
    programOut = program;
    capabilitiesOut = capabilities;
    return focused;
}

} // namespace velnor::test
