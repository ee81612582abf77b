#include "platform/linux/x11/X11ClipboardRequestors.h"

#include "platform/linux/x11/XcbHandles.h"

#include <QGuiApplication>

namespace velnor::x11 {

X11ClipboardRequestors::X11ClipboardRequestors()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection)
        return;
    static constexpr char kName[] = "CLIPBOARD_MANAGER";
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, sizeof(kName) - 1, kName), nullptr));
    m_managerSelection = reply ? reply->atom : XCB_NONE;
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
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST)
        m_requestor = reinterpret_cast<const xcb_selection_request_event_t*>(event)->requestor;
    return false;
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
