#include "platform/linux/session/BackendChoice.h"

#include <QStringList>

namespace velnor::session {
namespace {

HotkeySource chooseHotkey(const SessionFacts& facts, bool evdevOptIn)
{
    if (facts.server == DisplayServer::X11)
        return HotkeySource::XInput;
    if (evdevOptIn)
        return HotkeySource::Evdev;
    if (facts.globalShortcutsVersion > 0)
        return HotkeySource::GlobalShortcutsPortal;
    return facts.fcitx5Running ? HotkeySource::InputMethodOnly : HotkeySource::None;
}

PasteSource choosePaste(const SessionFacts& facts)
{
    if (facts.server == DisplayServer::X11)
        return PasteSource::XTest;
    // The protocol needs no confirmation from the user; the portal does, once.
    if (facts.globals.virtualKeyboard)
        return PasteSource::VirtualKeyboard;
    if (facts.remoteDesktopVersion > 0)
        return PasteSource::RemoteDesktopPortal;
    return PasteSource::ClipboardOnly;
}

QString hotkeyLabel(HotkeySource source)
{
    switch (source) {
    case HotkeySource::XInput: return QStringLiteral("X11");
    case HotkeySource::GlobalShortcutsPortal: return QStringLiteral("门户");
    case HotkeySource::Evdev: return QStringLiteral("evdev");
    case HotkeySource::InputMethodOnly: return QStringLiteral("输入法");
    case HotkeySource::None: break;
    }
    return QStringLiteral("无");
}

} // namespace

BackendChoice chooseBackends(const SessionFacts& facts, bool evdevOptIn)
{
    const bool x11 = facts.server == DisplayServer::X11;
    BackendChoice choice;
    choice.hotkey = chooseHotkey(facts, evdevOptIn);
    choice.paste = choosePaste(facts);
    choice.indicator = x11 ? IndicatorKind::X11Window
        : facts.globals.layerShell ? IndicatorKind::LayerShell
                                   : IndicatorKind::XWaylandWindow;
    choice.frontApp = x11 ? FrontAppSource::Ewmh
        : facts.globals.foreignToplevel ? FrontAppSource::ForeignToplevel
                                        : FrontAppSource::AtspiActiveFrame;
    return choice;
}

QString describeSession(const SessionFacts& facts, const BackendChoice& choice)
{
    QString session = facts.server == DisplayServer::Wayland ? QStringLiteral("Wayland") : QStringLiteral("X11");
    if (!facts.desktopName.isEmpty())
        session += QStringLiteral(" (%1)").arg(facts.desktopName);
    const QString input = facts.fcitx5Running ? QStringLiteral("输入法") : QStringLiteral("辅助功能");
    return QStringLiteral("会话: %1 · 热键: %2 · 输入: %3").arg(session, hotkeyLabel(choice.hotkey), input);
}

QString describeFacts(const SessionFacts& facts)
{
    QStringList globals;
    const std::pair<bool, const char*> named[] = {{facts.globals.virtualKeyboard, "virtual-keyboard"},
                                                  {facts.globals.layerShell, "layer-shell"},
                                                  {facts.globals.foreignToplevel, "foreign-toplevel"},
                                                  {facts.globals.dataControl, "data-control"}};
    for (const auto& [offered, name] : named) {
        if (offered)
            globals << QLatin1String(name);
    }
    return QStringLiteral("portal GlobalShortcuts %1, RemoteDesktop %2; Wayland globals: %3; Fcitx5: %4")
        .arg(facts.globalShortcutsVersion)
        .arg(facts.remoteDesktopVersion)
        .arg(globals.isEmpty() ? QStringLiteral("none") : globals.join(QStringLiteral(", ")),
             facts.fcitx5Running ? QStringLiteral("yes") : QStringLiteral("no"));
}

} // namespace velnor::session
