#include "platform/linux/x11/XInputConnection.h"

#include "platform/linux/x11/XInputQuery.h"

#include <QSocketNotifier>

namespace velnor::x11 {

XInputConnection::XInputConnection(const QByteArray& display)
    : m_connection(xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr))
{
    if (!xcb_connection_has_error(m_connection.get()))
        m_opcode = initXInput2(m_connection.get()).value_or(0);
}

XInputConnection::~XInputConnection() = default;

bool XInputConnection::isAvailable(const QByteArray& display) { return XInputConnection(display).isOpen(); }

void XInputConnection::watch(std::function<void(const xcb_generic_event_t&)> onEvent, std::function<void()> onCaughtUp)
{
    m_onEvent = std::move(onEvent);
    m_onCaughtUp = std::move(onCaughtUp);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection.get()), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
    readEvents();
}

bool XInputConnection::isXInputEvent(const xcb_generic_event_t& event, std::uint16_t eventType) const
{
    const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
    return (event.response_type & 0x7F) == XCB_GE_GENERIC && generic.extension == m_opcode
        && generic.event_type == eventType;
}

void XInputConnection::readEvents()
{
    // A handler may close this connection (stop the key source, say).
    const std::weak_ptr<int> alive = m_alive;
    while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(m_connection.get())}) {
        m_onEvent(*event);
        if (alive.expired())
            return;
    }
    if (xcb_connection_has_error(m_connection.get())) {
        m_notifier.reset(); // the display went away: nothing more will arrive
        return;
    }
    if (m_onCaughtUp)
        m_onCaughtUp();
}

} // namespace velnor::x11
