#include "platform/linux/fcitx5/Fcitx5Bridge.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace velnor::fcitx5 {

namespace {
// Fcitx5's capability flags (fcitx-utils/capabilityflags.h).
constexpr quint64 PasswordFlag = 1ull << 3;
constexpr quint64 SensitiveFlag = 1ull << 36;
} // namespace

bool FocusedField::isPrivate() const { return (capabilities & (PasswordFlag | SensitiveFlag)) != 0; }

Fcitx5Bridge::Fcitx5Bridge(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_watcher(new QDBusServiceWatcher(this))
{
    if (!m_bus.isConnected())
        return;
    m_watcher->setConnection(m_bus);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
    m_watcher->addWatchedService(QLatin1String(ServiceName));
    m_watcher->addWatchedService(QLatin1String(FcitxServiceName));
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString& name, const QString&, const QString& newOwner) {
                m_ownerChangeSeen.insert(name);
                nameOwnerKnown(name, !newOwner.isEmpty());
            });
    // Signals come to us alone (the addon addresses them); connecting by
    // name keeps those of any other sender out.
    m_bus.connect(QLatin1String(ServiceName), QLatin1String(ObjectPath), QLatin1String(InterfaceName),
                  QStringLiteral("ModifiersChanged"), this, SLOT(onModifiersChanged(uint)));
    m_bus.connect(QLatin1String(ServiceName), QLatin1String(ObjectPath), QLatin1String(InterfaceName),
                  QStringLiteral("FocusChanged"), this, SLOT(onFocusChanged(bool, QString, qulonglong)));
    for (const char* name : {ServiceName, FcitxServiceName}) {
        QDBusMessage ask = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
        ask.setArguments({QLatin1String(name)});
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, name](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            // Qt may hand us this answer after a change of owner that the bus
            // sent later: the change is newer, so the answer is stale.
            if (m_ownerChangeSeen.contains(QLatin1String(name)))
                return;
            const QDBusPendingReply<bool> reply = *finished;
            nameOwnerKnown(QLatin1String(name), reply.isValid() && reply.value());
        });
    }
}

Fcitx5Bridge::~Fcitx5Bridge() = default;

bool Fcitx5Bridge::canWriteToFocusedField() const
{
    return m_state == AddonState::Connected && m_focus.focused && !m_focus.isPrivate();
}

void Fcitx5Bridge::nameOwnerKnown(const QString& name, bool owned)
{
    if (name == QLatin1String(ServiceName))
        m_addonOwned = owned;
    else if (name == QLatin1String(FcitxServiceName))
        m_fcitxOwned = owned;
    refreshState();
}

void Fcitx5Bridge::refreshState()
{
    if (m_addonOwned) {
        if (m_state != AddonState::Connected) {
            setState(AddonState::Connected);
            addonAppeared();
        }
        return;
    }
    const bool hadFocus = m_focus.focused;
    m_focus = {};
    setState(m_fcitxOwned ? AddonState::NotInstalled : AddonState::FcitxNotRunning);
    if (hadFocus)
        emit focusChanged();
}

void Fcitx5Bridge::setState(AddonState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Fcitx5Bridge::addonAppeared()
{
    // The addon sends key and focus signals only to whoever set the chord.
    setHotkey(m_chord);
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(ServiceName), QLatin1String(ObjectPath),
                                                       QLatin1String(InterfaceName), QStringLiteral("FocusedContext"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<bool, QString, qulonglong> reply = *finished;
        if (reply.isValid() && m_state == AddonState::Connected)
            onFocusChanged(reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>());
    });
}

void Fcitx5Bridge::setHotkey(quint32 chord)
{
    m_chord = chord;
    if (m_state == AddonState::Connected)
        callAddon(QStringLiteral("SetHotkey"), {QVariant::fromValue(uint(chord))}, {});
}

void Fcitx5Bridge::commitString(const QString& text, std::function<void(bool)> done)
{
    if (!canWriteToFocusedField()) {
        done(false);
        return;
    }
    callAddon(QStringLiteral("CommitString"), {text}, std::move(done));
}

void Fcitx5Bridge::setPreedit(const QString& text)
{
    if (canWriteToFocusedField())
        callAddon(QStringLiteral("SetPreedit"), {text}, {});
}

void Fcitx5Bridge::clearPreedit()
{
    if (m_state == AddonState::Connected)
        callAddon(QStringLiteral("ClearPreedit"), {}, {});
}

void Fcitx5Bridge::forwardKey(quint32 keysym, quint32 states, std::function<void(bool)> done)
{
    if (m_state != AddonState::Connected || !m_focus.focused) {
        done(false);
        return;
    }
    callAddon(QStringLiteral("ForwardKey"), {QVariant::fromValue(uint(keysym)), QVariant::fromValue(uint(states))},
              std::move(done));
}

void Fcitx5Bridge::callAddon(const QString& method, const QList<QVariant>& arguments, std::function<void(bool)> done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(ServiceName), QLatin1String(ObjectPath),
                                                       QLatin1String(InterfaceName), method);
    call.setArguments(arguments);
    if (!done) {
        call.setAutoStartService(false);
        m_bus.send(call);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<bool> reply = *finished;
                // An error (the addon or Fcitx5 went away) counts as "not done".
                done(reply.isValid() && reply.value());
            });
}

void Fcitx5Bridge::onModifiersChanged(uint modifiers)
{
    if (m_state == AddonState::Connected)
        emit modifiersChanged(modifiers);
}

void Fcitx5Bridge::onFocusChanged(bool focused, const QString& program, qulonglong capabilities)
{
    FocusedField field{focused, focused ? program : QString(), focused ? capabilities : 0};
    if (field.focused == m_focus.focused && field.program == m_focus.program
        && field.capabilities == m_focus.capabilities)
        return;
    m_focus = std::move(field);
    emit focusChanged();
}

} // namespace velnor::fcitx5
