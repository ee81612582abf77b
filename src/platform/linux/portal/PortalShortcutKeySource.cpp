#include "platform/linux/portal/PortalShortcutKeySource.h"

#include "log/Logger.h"
#include "platform/linux/fcitx5/Fcitx5KeySource.h"
#include "platform/linux/portal/PortalRequest.h"
#include "platform/linux/portal/PortalShortcut.h"

#include <array>

namespace velnor::portal {
namespace {

const QString kInterface = QStringLiteral("GlobalShortcuts");
const QString kFullInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

struct TriggerRow {
    quint32 chord;
    const char* trigger;
};

// Held modifiers, then the key that completes the chord. Right Control is
// the Fn key on PC keyboards, Super is Command, Alt is Option.
constexpr std::array<TriggerRow, 5> kTriggers{{
    {ModifierKey::FunctionBit | ModifierKey::ShiftBit, "SHIFT+Control_R"},
    {ModifierKey::ControlBit | ModifierKey::ShiftBit, "CTRL+Shift_L"},
    {ModifierKey::FunctionBit, "Control_R"},
    {ModifierKey::OptionBit, "Alt_L"},
    {ModifierKey::RightCommandBit, "Super_R"},
}};

} // namespace

PortalShortcutKeySource::PortalShortcutKeySource(QDBusConnection bus, Logger& log, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_log(log)
    , m_portalWatcher(kPortalService, m_bus,
                      QDBusServiceWatcher::WatchForUnregistration | QDBusServiceWatcher::WatchForRegistration)
{
    registerPortalShortcutTypes();
    connect(&m_portalWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        m_log.warning(QStringLiteral("桌面门户已退出，热键松开"));
        release();
        ++m_generation;
        m_session.clear();
        subscribe({});
    });
    connect(&m_portalWatcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (m_handler && m_session.isEmpty() && !m_refused)
            openSession();
    });
}

PortalShortcutKeySource::~PortalShortcutKeySource() { stop(); }

QString PortalShortcutKeySource::preferredTrigger(ModifierKey chord)
{
    for (const TriggerRow& row : kTriggers) {
        if (row.chord == chord.rawValue)
            return QString::fromLatin1(row.trigger);
    }
    return {};
}

void PortalShortcutKeySource::subscribe(const QString& portal)
{
    // By the portal's unique name: its signals are heard at once, where a
    // well-known name would first have to be resolved.
    if (portal == m_subscribedPortal)
        return;
    const auto each = [this](const QString& sender, auto connectOrDisconnect) {
        if (sender.isEmpty())
            return;
        (m_bus.*connectOrDisconnect)(sender, kPortalPath, kFullInterface, QStringLiteral("Activated"), this,
                                     SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        (m_bus.*connectOrDisconnect)(sender, kPortalPath, kFullInterface, QStringLiteral("Deactivated"), this,
                                     SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
        (m_bus.*connectOrDisconnect)(sender, kPortalPath, kFullInterface, QStringLiteral("ShortcutsChanged"), this,
                                     SLOT(onShortcutsChanged(QDBusMessage)));
    };
    using Hook = bool (QDBusConnection::*)(const QString&, const QString&, const QString&, const QString&, QObject*,
                                           const char*);
    each(m_subscribedPortal, static_cast<Hook>(&QDBusConnection::disconnect));
    each(portal, static_cast<Hook>(&QDBusConnection::connect));
    m_subscribedPortal = portal;
}

bool PortalShortcutKeySource::start(Handler handler)
{
    m_handler = std::move(handler);
    if (m_session.isEmpty())
        openSession();
    return !m_refused;
}

void PortalShortcutKeySource::stop()
{
    // Whoever stops listening hears no more, not even a release.
    m_active = false;
    m_handler = {};
    closeSession();
}

void PortalShortcutKeySource::setChord(ModifierKey chord)
{
    if (chord == m_chord)
        return;
    m_chord = chord;
    if (!m_handler)
        return;
    // A session binds its shortcuts once: a new chord needs a new session.
    release();
    closeSession();
    openSession();
}

void PortalShortcutKeySource::openSession()
{
    const int generation = ++m_generation;
    QVariantMap options{{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::send(this, m_bus, kInterface, QStringLiteral("CreateSession"), {}, options,
                        [this, generation](PortalResponse response, const QVariantMap& results, const QString& portal) {
                            if (generation != m_generation)
                                return;
                            m_session = sessionHandleOf(results);
                            subscribe(portal);
                            if (response != PortalResponse::Success || m_session.isEmpty()) {
                                m_refused = true;
                                m_log.warning(QStringLiteral("全局快捷键门户拒绝了会话，热键不可用") + errorOf(results));
                                return;
                            }
                            bind();
                        });
}

void PortalShortcutKeySource::closeSession()
{
    ++m_generation;
    if (m_session.isEmpty())
        return;
    m_bus.send(QDBusMessage::createMethodCall(kPortalService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                                                   QStringLiteral("Close")));
    m_session.clear();
}

void PortalShortcutKeySource::bind()
{
    if (m_chord.rawValue == 0)
        return;
    QVariantMap properties{{QStringLiteral("description"), QStringLiteral("按住说话")}};
    const QString trigger = preferredTrigger(m_chord);
    if (!trigger.isEmpty())
        properties.insert(QStringLiteral("preferred_trigger"), trigger);
    const PortalShortcutList shortcuts{{QString::fromLatin1(ShortcutId), properties}};
    const int generation = m_generation;
    PortalRequest::send(this, m_bus, kInterface, QStringLiteral("BindShortcuts"),
                        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString()}, {},
                        [this, generation](PortalResponse response, const QVariantMap& results, const QString&) {
                            if (generation != m_generation)
                                return;
                            if (response != PortalResponse::Success) {
                                m_refused = true;
                                m_log.warning(QStringLiteral("全局快捷键门户没有绑定热键（用户取消或门户拒绝）")
                                              + errorOf(results));
                                return;
                            }
                            takeBoundShortcuts(results);
                        });
}

void PortalShortcutKeySource::takeBoundShortcuts(const QVariantMap& results)
{
    for (const PortalShortcut& shortcut : shortcutsOf(results)) {
        if (shortcut.id != QLatin1String(ShortcutId))
            continue;
        m_trigger = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        m_log.info(QStringLiteral("全局快捷键门户已绑定热键: ") + m_trigger);
        emit triggerDescriptionChanged(m_trigger);
    }
}

bool PortalShortcutKeySource::isOurs(const QDBusObjectPath& session, const QString& id) const
{
    return !m_session.isEmpty() && session.path() == m_session && id == QLatin1String(ShortcutId);
}

void PortalShortcutKeySource::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong, const QVariantMap&)
{
    if (!isOurs(session, id) || !m_handler)
        return;
    m_active = true;
    emit activated();
    m_handler(fcitx5::Fcitx5KeySource::eventFor(m_chord.rawValue));
}

void PortalShortcutKeySource::onDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                            const QVariantMap&)
{
    if (isOurs(session, id))
        release();
}

void PortalShortcutKeySource::onShortcutsChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != m_session)
        return;
    takeBoundShortcuts({{QStringLiteral("shortcuts"), arguments[1]}});
}

void PortalShortcutKeySource::release()
{
    if (!std::exchange(m_active, false) || !m_handler)
        return;
    m_handler(GlobalKeyEvent{GlobalKeyEventType::FlagsChanged, -1, 0, 0});
}

} // namespace velnor::portal
