#include "platform/linux/x11/X11ClipboardRequestors.h"

#include "platform/linux/x11/XcbHandles.h"

#include <QGuiApplication>

#include <cstring>

namespace velnor::x11 {

namespace {
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}
} // namespace

X11ClipboardRequestors::X11ClipboardRequestors()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection)
        return;
    m_managerSelection = internAtom(m_connection, "CLIPBOARD_MANAGER");
    m_probeProperty = internAtom(m_connection, "_VELNOR_TIME_PROBE");
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    qGuiApp->installNativeEventFilter(this);
}

X11ClipboardRequestors::~X11ClipboardRequestors()
{
    if (m_connection && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11ClipboardRequestors::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const int type = event->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->window == m_root && change->atom == m_probeProperty && m_probeProperty != XCB_NONE)
            m_probedTime = change->time;
        return false;
    }
    if (type != XCB_SELECTION_REQUEST)
        return false;
    auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
    m_requestor = request->requestor;
    const bool old = request->time != XCB_CURRENT_TIME && request->time < m_probedTime;
    if (old && m_answersOldRequests && m_answersOldRequests())
        request->time = XCB_CURRENT_TIME;
    return false;
}

void X11ClipboardRequestors::probeServerTime()
{
    if (!m_connection || m_probeProperty == XCB_NONE)
        return;
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_root, m_probeProperty, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_delete_property(m_connection, m_root, m_probeProperty);
    xcb_flush(m_connection);
}

void X11ClipboardRequestors::setAnswersOldRequests(std::function<bool()> answersOldRequests)
{
    m_answersOldRequests = std::move(answersOldRequests);
}

bool X11ClipboardRequestors::currentIsClipboardManager() const
{
    if (!m_connection || m_managerSelection == XCB_NONE || m_requestor == XCB_NONE)
        return false;
    const XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_managerSelection), nullptr));
    if (!owner || owner->owner == XCB_NONE)
        return false;
    // Windows of one client share the resource id bits above the mask.
    const std::uint32_t clientBits = ~xcb_get_setup(m_connection)->resource_id_mask;
    return (owner->owner & clientBits) == (m_requestor & clientBits);
}

} // namespace velnor::x11
