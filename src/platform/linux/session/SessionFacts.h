#pragma once

#include <QString>

namespace velnor::session {

enum class DisplayServer { X11, Wayland };

// The Wayland globals the backends care about, as the compositor offers them.
struct WaylandGlobals {
    bool virtualKeyboard = false; // zwp_virtual_keyboard_manager_v1
    bool layerShell = false;      // zwlr_layer_shell_v1
    bool foreignToplevel = false; // zwlr_foreign_toplevel_manager_v1
    bool dataControl = false;     // zwlr_data_control_manager_v1
    bool operator==(const WaylandGlobals&) const = default;
};

// What the desktop session offers, probed once at start-up.
struct SessionFacts {
    DisplayServer server = DisplayServer::X11;
    // XDG_CURRENT_DESKTOP, for display only: no choice depends on it.
    QString desktopName;
    // The portal interfaces' "version" property; 0 when the portal or the
    // interface is absent.
    uint globalShortcutsVersion = 0;
    uint remoteDesktopVersion = 0;
    WaylandGlobals globals;
    bool fcitx5Running = false;
};

} // namespace velnor::session
