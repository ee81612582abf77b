#include "platform/linux/x11/X11OverlayWindows.h"

#include <cstring>
#include <string>

namespace velnor {

namespace {
constexpr quint32 kAllDesktops = 0xFFFFFFFF;
constexpr quint32 kStateAdd = 1;
constexpr quint32 kSourceApplication = 1;
} // namespace

X11OverlayWindows::X11OverlayWindows(const QByteArray& displayName)
    : m_connection(xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &m_screenNumber))
{
    if (!isAvailable())
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get()));
    for (int i = 0; i < m_screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem > 0)
        m_root = screens.data->root;
}

bool X11OverlayWindows::isAvailable() const
{
    return m_connection && xcb_connection_has_error(m_connection.get()) == 0;
}

xcb_atom_t X11OverlayWindows::atom(const char* name) const
{
    const auto length = static_cast<quint16>(std::strlen(name));
    x11::XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_connection.get(), xcb_intern_atom(m_connection.get(), 0, length, name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool X11OverlayWindows::hasCompositor() const
{
    if (!isAvailable())
        return false;
    const std::string selection = "_NET_WM_CM_S" + std::to_string(m_screenNumber);
    x11::XcbReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection.get(), xcb_get_selection_owner(m_connection.get(), atom(selection.c_str())), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void X11OverlayWindows::sendToRoot(xcb_window_t window, xcb_atom_t type, const std::array<quint32, 5>& data)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (std::size_t i = 0; i < data.size(); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(m_connection.get(), 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

void X11OverlayWindows::sendState(xcb_window_t window, xcb_atom_t first, xcb_atom_t second)
{
    sendToRoot(window, atom("_NET_WM_STATE"), {kStateAdd, first, second, kSourceApplication, 0});
}

void X11OverlayWindows::pinToAllDesktops(quintptr windowId)
{
    if (!isAvailable() || m_root == 0 || windowId == 0)
        return;
    const auto window = static_cast<xcb_window_t>(windowId);
    // The property covers a window not mapped yet; the messages a mapped one.
    const xcb_atom_t desktop = atom("_NET_WM_DESKTOP");
    xcb_change_property(m_connection.get(), XCB_PROP_MODE_REPLACE, window, desktop, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    sendToRoot(window, desktop, {kAllDesktops, kSourceApplication, 0, 0, 0});
    sendState(window, atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_ABOVE"));
    sendState(window, atom("_NET_WM_STATE_SKIP_TASKBAR"), atom("_NET_WM_STATE_SKIP_PAGER"));
    xcb_flush(m_connection.get());
}

} // namespace velnor
