#pragma once

#include "platform/Workspace.h"
#include "platform/linux/x11/XcbHandles.h"

#include <QImage>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace velnor::x11 {

// The front application from the window manager's EWMH properties: the
// active window's WM_CLASS class is the app id, _NET_WM_PID its process,
// the name comes from the desktop entry of that class (else the class),
// the icon from _NET_WM_ICON. Watches the root window on a second
// connection to report activation and desktop changes.
class EwmhWorkspace final : public QObject, public Workspace {
    Q_OBJECT
public:
    explicit EwmhWorkspace(const QByteArray& displayName = {}, QObject* parent = nullptr);
    ~EwmhWorkspace() override;

    bool isAvailable() const override { return m_available; }
    std::optional<FrontAppInfo> frontmostApplication() const override;
    // The active window's icon, the size closest to `size` (null when none).
    QImage frontmostApplicationIcon(int size = 18) const;

signals:
    void activeApplicationChanged();
    void currentDesktopChanged();

private:
    std::optional<xcb_window_t> activeWindow() const;
    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type, std::uint32_t maxLength = 4096) const;
    void readEvents();

    XcbConnection m_connection;
    XcbConnection m_watch;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_activeWindowAtom = XCB_NONE;
    xcb_atom_t m_currentDesktopAtom = XCB_NONE;
    xcb_atom_t m_pidAtom = XCB_NONE;
    xcb_atom_t m_iconAtom = XCB_NONE;
    bool m_available = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// The display name of an application from its desktop entry in the XDG
// data directories (e.g. "org.gnome.Terminal" → "Terminal"); none when no
// entry is found.
std::optional<QString> desktopEntryName(const QString& windowClass);

} // namespace velnor::x11
