#pragma once

#include "platform/OverlayWindows.h"
#include "platform/linux/x11/XcbHandles.h"

#include <QByteArray>

#include <array>

namespace velnor {

// EWMH hints for the indicator on its own X connection: sticky on every
// desktop (_NET_WM_DESKTOP 0xFFFFFFFF, _NET_WM_STATE_STICKY), above other
// windows, skipped by task bars; compositing is a _NET_WM_CM_Sn owner.
class X11OverlayWindows final : public OverlayWindows {
public:
    // Null or empty display name: $DISPLAY.
    explicit X11OverlayWindows(const QByteArray& displayName = {});

    bool isAvailable() const override;
    bool hasCompositor() const override;
    void pinToAllDesktops(quintptr windowId) override;

private:
    xcb_atom_t atom(const char* name) const;
    void sendState(xcb_window_t window, xcb_atom_t first, xcb_atom_t second);
    void sendToRoot(xcb_window_t window, xcb_atom_t type, const std::array<quint32, 5>& data);

    x11::XcbConnection m_connection;
    int m_screenNumber = 0;
    xcb_window_t m_root = 0;
};

} // namespace velnor
