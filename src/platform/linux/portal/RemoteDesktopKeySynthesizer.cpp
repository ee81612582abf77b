#include "platform/linux/portal/RemoteDesktopKeySynthesizer.h"

#include "log/Logger.h"
#include "platform/linux/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QPointer>

#include <array>

namespace velnor::portal {
namespace {

const QString kInterface = QStringLiteral("RemoteDesktop");
constexpr uint kKeyboardDevice = 1;
// Persist until the user revokes it.
constexpr uint kPersistUntilRevoked = 2;

struct KeysymRow {
    int virtualKey;
    quint32 keysym;
};

constexpr std::array<KeysymRow, 5> kKeysyms{{
    {VirtualKey::V, 0x0076},           // v
    {VirtualKey::Return, 0xff0d},      // Return
    {VirtualKey::LeftShift, 0xffe1},   // Shift_L
    {VirtualKey::LeftControl, 0xffe3}, // Control_L
    {VirtualKey::Insert, 0xff63},      // Insert
}};

// Posts into the synthesizer while it lives; a paste that outlives it posts nothing.
class PortalKeyEventSource final : public KeyEventSource {
public:
    explicit PortalKeyEventSource(RemoteDesktopKeySynthesizer* owner) : m_owner(owner) {}

    std::optional<SyntheticKeyEvent> createKeyboardEvent(int virtualKey, bool keyDown) override
    {
        if (!RemoteDesktopKeySynthesizer::keysymFor(virtualKey))
            return std::nullopt;
        return SyntheticKeyEvent{virtualKey, keyDown};
    }

    void post(const SyntheticKeyEvent& event) override
    {
        if (m_owner)
            m_owner->post(event);
    }

private:
    QPointer<RemoteDesktopKeySynthesizer> m_owner;
};

} // namespace

RemoteDesktopKeySynthesizer::RemoteDesktopKeySynthesizer(QDBusConnection bus, Scheduler& scheduler, Logger& log,
                                                         TokenStore tokens, std::function<void()> refused,
                                                         QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_scheduler(scheduler)
    , m_log(log)
    , m_tokens(std::move(tokens))
    , m_refusedHook(std::move(refused))
{
}

RemoteDesktopKeySynthesizer::~RemoteDesktopKeySynthesizer()
{
    m_idleClose.cancel();
    closeSession();
}

std::optional<quint32> RemoteDesktopKeySynthesizer::keysymFor(int virtualKey)
{
    for (const KeysymRow& row : kKeysyms) {
        if (row.virtualKey == virtualKey)
            return row.keysym;
    }
    return std::nullopt;
}

std::shared_ptr<KeyEventSource> RemoteDesktopKeySynthesizer::createEventSource()
{
    if (m_refused)
        return nullptr;
    return std::make_shared<PortalKeyEventSource>(this);
}

void RemoteDesktopKeySynthesizer::openSession()
{
    if (m_refused || m_state != State::Closed)
        return;
    m_state = State::Opening;
    const int generation = ++m_generation;
    const QVariantMap options{{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::send(this, m_bus, kInterface, QStringLiteral("CreateSession"), {}, options,
                        [this, generation](PortalResponse response, const QVariantMap& results, const QString&) {
                            if (!isCurrent(generation))
                                return;
                            m_session = sessionHandleOf(results);
                            if (response != PortalResponse::Success || m_session.isEmpty())
                                return fail(QStringLiteral("远程桌面门户拒绝了会话"), response == PortalResponse::Cancelled);
                            selectDevices(generation);
                        });
}

void RemoteDesktopKeySynthesizer::selectDevices(int generation)
{
    QVariantMap options{{QStringLiteral("types"), kKeyboardDevice},
                        {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
    const QString token = m_tokens.load ? m_tokens.load() : QString();
    if (!token.isEmpty())
        options.insert(QStringLiteral("restore_token"), token);
    PortalRequest::send(this, m_bus, kInterface, QStringLiteral("SelectDevices"),
                        {QVariant::fromValue(QDBusObjectPath(m_session))}, options,
                        [this, generation](PortalResponse response, const QVariantMap&, const QString&) {
                            if (!isCurrent(generation))
                                return;
                            if (response != PortalResponse::Success)
                                return fail(QStringLiteral("远程桌面门户没有提供键盘"), response == PortalResponse::Cancelled);
                            startSession(generation);
                        });
}

void RemoteDesktopKeySynthesizer::startSession(int generation)
{
    PortalRequest::send(this, m_bus, kInterface, QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_session)), QString()},
                        {}, [this, generation](PortalResponse response, const QVariantMap& results, const QString&) {
                            if (!isCurrent(generation))
                                return;
                            if (response != PortalResponse::Success)
                                return fail(QStringLiteral("用户没有允许远程桌面门户模拟按键，文字留在剪贴板上"),
                                            response == PortalResponse::Cancelled);
                            onStarted(results);
                        });
}

void RemoteDesktopKeySynthesizer::onStarted(const QVariantMap& results)
{
    const QVariant devices = results.value(QStringLiteral("devices"));
    if (devices.isValid() && (devices.toUInt() & kKeyboardDevice) == 0)
        return fail(QStringLiteral("远程桌面门户没有授予键盘"), true);
    const QString token = results.value(QStringLiteral("restore_token")).toString();
    if (!token.isEmpty() && m_tokens.save)
        m_tokens.save(token);
    m_state = State::Started;
    flush();
    armIdleClose();
}

void RemoteDesktopKeySynthesizer::fail(const QString& why, bool userRefused)
{
    m_log.warning(why);
    m_queue.clear();
    closeSession();
    if (!userRefused)
        return;
    m_refused = true;
    if (m_refusedHook)
        m_refusedHook();
}

void RemoteDesktopKeySynthesizer::post(const SyntheticKeyEvent& event)
{
    if (m_refused)
        return;
    m_queue.append(event);
    if (m_state == State::Started)
        flush();
    else
        openSession();
}

void RemoteDesktopKeySynthesizer::flush()
{
    for (const SyntheticKeyEvent& event : std::as_const(m_queue)) {
        QDBusMessage notify = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                             QStringLiteral("org.freedesktop.portal.RemoteDesktop"),
                                                             QStringLiteral("NotifyKeyboardKeysym"));
        notify << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << int(*keysymFor(event.virtualKey))
               << uint(event.keyDown ? 1 : 0);
        m_bus.send(notify);
        if (event.keyDown)
            m_held.insert(event.virtualKey);
        else
            m_held.remove(event.virtualKey);
    }
    const bool posted = !m_queue.isEmpty();
    m_queue.clear();
    // The paste (or the Enter) is complete once every key is up again.
    if (posted && m_held.isEmpty())
        closeSession();
}

void RemoteDesktopKeySynthesizer::armIdleClose()
{
    m_idleClose.cancel();
    m_idleClose = m_scheduler.after(IdleClose, [this, generation = m_generation] {
        if (generation == m_generation && m_state == State::Started && m_held.isEmpty())
            closeSession();
    });
}

void RemoteDesktopKeySynthesizer::closeSession()
{
    ++m_generation;
    m_state = State::Closed;
    m_held.clear();
    if (m_session.isEmpty())
        return;
    m_bus.send(QDBusMessage::createMethodCall(kPortalService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                                                   QStringLiteral("Close")));
    m_session.clear();
}

} // namespace velnor::portal
