#pragma once

#include "platform/linux/session/SessionFacts.h"

#include <QString>

namespace velnor::session {

// Where the system-wide hotkey comes from. The input method, when it runs,
// hears the chord in focused fields on top of any of these.
enum class HotkeySource { XInput, GlobalShortcutsPortal, Evdev, InputMethodOnly, None };
// How text reaches an application after AT-SPI (tried first everywhere) fails:
// the clipboard plus a paste chord sent by ...
enum class PasteSource { XTest, VirtualKeyboard, RemoteDesktopPortal, ClipboardOnly };
enum class IndicatorKind { X11Window, LayerShell, XWaylandWindow };
enum class FrontAppSource { Ewmh, ForeignToplevel, AtspiActiveFrame };

struct BackendChoice {
    HotkeySource hotkey = HotkeySource::None;
    PasteSource paste = PasteSource::ClipboardOnly;
    IndicatorKind indicator = IndicatorKind::X11Window;
    FrontAppSource frontApp = FrontAppSource::Ewmh;
    bool operator==(const BackendChoice&) const = default;
};

// Picks each backend from what the session offers, never from the
// desktop's name. `evdevOptIn` is the user's setting: reading the input
// devices directly wins over the portal because it is the only way to a
// modifier-only chord where the portal cannot bind one.
BackendChoice chooseBackends(const SessionFacts& facts, bool evdevOptIn);

// "会话: Wayland (GNOME) · 热键: 门户 · 输入: 辅助功能": one line for the log
// and the settings page.
QString describeSession(const SessionFacts& facts, const BackendChoice& choice);
// The probe's findings for the log: "portal GlobalShortcuts 1, RemoteDesktop 2;
// Wayland globals: virtual-keyboard, layer-shell; Fcitx5: no".
QString describeFacts(const SessionFacts& facts);

} // namespace velnor::session
