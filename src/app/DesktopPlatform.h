#pragma once

#include "app/SessionBackends.h"
#include "keyboard/HIDEventMonitor.h"
#include "keyboard/KeyboardManager.h"
#include "keyboard/Shortcut.h"
#include "keyboard/ShortcutManager.h"
#include "platform/linux/atspi/AtspiHelperBridge.h"
#include "platform/linux/session/DBusSessionLock.h"
#include "platform/linux/fcitx5/Fcitx5Bridge.h"
#include "platform/linux/fcitx5/Fcitx5KeySource.h"
#include "platform/linux/fcitx5/Fcitx5KeySynthesizer.h"
#include "platform/linux/fcitx5/Fcitx5PreeditSink.h"
#include "platform/linux/fcitx5/Fcitx5TextInput.h"
#include "platform/linux/fcitx5/PreferredKeySource.h"
#include "platform/linux/wayland/DataControlPasteboard.h"
#include "platform/linux/wayland/ForeignToplevelWorkspace.h"
#include "platform/linux/wayland/VirtualKeyboardSynthesizer.h"
#include "platform/linux/x11/EwmhWorkspace.h"
#include "platform/linux/x11/QtClipboardPasteboard.h"
#include "platform/linux/x11/SyntheticKeyEchoes.h"
#include "platform/linux/x11/X11AccessibilityTrust.h"
#include "platform/linux/x11/XInputKeySource.h"
#include "platform/linux/x11/XInputKeyboardDevices.h"
#include "platform/linux/x11/XTestKeySynthesizer.h"
#include "textinput/TextInputStack.h"

#include <QElapsedTimer>

namespace velnor {

class Logger;
class Scheduler;
class SettingsStore;

// The X11 desktop as the app meets it: the global hotkey (XI2 keys on the
// chosen keyboard) and the text insertion into the focused field (AT-SPI,
// else the clipboard and an XTest paste). Where Fcitx5 runs with Velnor's
// addon and a field has the focus, the hotkey, the text and the live partial
// text go through the input method instead. In a Wayland session whose
// compositor offers them, the paste keys go through its virtual keyboard and
// the clipboard through its data-control protocol and the front application
// from its toplevel list (the app's own windows stay on XWayland).
class DesktopPlatform final {
public:
    // `atspiHelper` is the program that talks to the accessibility bus.
    DesktopPlatform(SettingsStore& settings, Scheduler& scheduler, Logger& log, ConsoleSink console,
                    const QString& atspiHelper, wayland::WaylandConnection& wayland,
                    std::function<void(TextInputNotice)> notice);
    ~DesktopPlatform();
    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

    Shortcut& shortcuts() { return m_shortcut; }
    TextInput& textInput() { return m_inputMethodText; }
    PreeditSink& preedit() { return m_preedit; }
    fcitx5::Fcitx5Bridge& inputMethod() { return m_inputMethod; }
    x11::EwmhWorkspace& workspace() { return m_workspace; }
    // The front application as insertion and the uploads see it.
    Workspace& frontApp() { return chosenFrontApp(); }
    wayland::ForeignToplevelWorkspace& waylandToplevels() { return m_waylandToplevels; }
    KeySynthesizer& keySynthesizer() { return m_sessionBackends.synthesizer(); }
    // Keys into the field the input method committed to.
    KeySynthesizer& inputMethodKeySynthesizer() { return m_inputMethodKeySynthesizer; }
    const AccessibilityTrust& accessibilityTrust() const { return m_trust; }
    KeyboardManager& keyboards() { return m_keyboards; }
    // The dictation chord, for the key sources that bind it themselves.
    void setHotkeyChord(ModifierKey chord);
    QString sessionSummary() const { return m_sessionBackends.summary(); }

private:
    Pasteboard& chosenPasteboard();
    Workspace& chosenFrontApp();

    QElapsedTimer m_uptime;
    x11::SyntheticKeyEchoes m_echoes{[this] { return m_uptime.elapsed(); }};
    x11::XTestKeySynthesizer m_keys;
    // On Wayland the portal's (or the evdev) hotkey and the portal's keys.
    SessionBackends m_sessionBackends;
    x11::X11AccessibilityTrust m_trust{m_sessionBackends.synthesizer()};
    x11::EwmhWorkspace m_workspace;
    x11::QtClipboardPasteboard m_pasteboard;
    wayland::DataControlPasteboard m_waylandClipboard;
    wayland::VirtualKeyboardSynthesizer m_waylandKeys;
    wayland::ForeignToplevelWorkspace m_waylandToplevels;
    TextInputStack m_textInput;

    x11::XInputKeyboardDevices m_keyboardDevices;
    HIDEventMonitor m_hidMonitor;
    KeyboardManager m_keyboards;
    x11::XInputKeySource m_keySource{{}, &m_echoes};
    session::DBusSessionLock m_sessionLock{QDBusConnection::sessionBus(), QDBusConnection::systemBus()};

    // Velnor's Fcitx5 addon, when it answers on the session bus.
    fcitx5::Fcitx5Bridge m_inputMethod;
    std::function<bool()> m_inputMethodEnabled;
    fcitx5::Fcitx5KeySource m_inputMethodKeys{m_inputMethod};
    // Both see a key pressed in a field: the input method's count while it
    // has a field focused, XI2's otherwise.
    fcitx5::PreferredKeySource m_preferredKeys{m_inputMethodKeys, m_sessionBackends.keys(), [this] {
                                                   return m_inputMethodEnabled() && m_inputMethodKeys.isAvailable()
                                                       && m_inputMethod.focusedField().focused;
                                               }};
    fcitx5::Fcitx5TextInput m_inputMethodText;
    fcitx5::Fcitx5PreeditSink m_preedit{m_inputMethod, m_inputMethodEnabled};
    fcitx5::Fcitx5KeySynthesizer m_inputMethodKeySynthesizer;
    ShortcutManager m_shortcutManager{m_preferredKeys, m_hidMonitor, m_keyboards, &m_sessionLock};
    Shortcut m_shortcut;
};

} // namespace velnor
