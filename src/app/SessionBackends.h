#pragma once

#include "keyboard/ModifierKey.h"
#include "platform/linux/evdev/EvdevDeviceWatcher.h"
#include "platform/linux/evdev/EvdevKeySource.h"
#include "platform/linux/portal/PortalShortcutKeySource.h"
#include "platform/linux/portal/RemoteDesktopKeySynthesizer.h"
#include "platform/linux/session/BackendChoice.h"
#include "platform/linux/session/SelectableBackends.h"
#include "platform/linux/session/SessionProbe.h"

#include <QString>

namespace velnor {

class Logger;
class Scheduler;
class SettingsStore;

// The hotkey and synthetic-key backends a session offers beyond X11, chosen
// by the session probe: the X11 ones serve until its answer is in, then a
// Wayland session switches to the portal's global shortcut (or the opt-in
// evdev keyboards, chosen at once) and to the portal's remote-desktop keys.
class SessionBackends final {
public:
    // `virtualKeyboard` is the compositor's virtual keyboard (wlroots), used
    // when the probe finds it; it is only stored here.
    SessionBackends(GlobalKeySource& x11Keys, KeySynthesizer& x11Synthesizer, KeySynthesizer& virtualKeyboard,
                    SettingsStore& settings, Scheduler& scheduler, Logger& log);

    GlobalKeySource& keys() { return m_keys; }
    KeySynthesizer& synthesizer() { return m_synthesizer; }
    // The keyboards the hotkey's filter asks about: the evdev devices when
    // they deliver the keys, else `x11Devices`.
    KeyboardDevices& keyboardDevices(KeyboardDevices& x11Devices);

    void setChord(ModifierKey chord) { m_portalKeys.setChord(chord); }
    // Runs the probe; logs its one line and switches backends when it answers.
    void probe();
    // The lines for the settings page: the session, then what the hotkey
    // needs or which keys the portal bound.
    QString summary() const;

private:
    void apply(const session::SessionFacts& facts);

    KeySynthesizer& m_virtualKeyboard;
    SettingsStore& m_settings;
    Logger& m_log;
    session::SessionProbe::Environment m_environment;
    bool m_evdevOptIn;
    portal::PortalShortcutKeySource m_portalKeys;
    portal::RemoteDesktopKeySynthesizer m_portalPaste;
    evdev::EvdevKeySource m_evdevKeys;
    evdev::EvdevDeviceWatcher m_evdevWatcher{m_evdevKeys};
    session::SelectableKeySource m_keys;
    session::SelectableKeySynthesizer m_synthesizer;
    session::SessionProbe m_probe;
    std::optional<session::BackendChoice> m_choice;
    QString m_description;
};

} // namespace velnor
