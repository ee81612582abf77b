#pragma once

#include "keyboard/ModifierKey.h"

#include <functional>

namespace velnor {

class Logger;
class SettingsStore;
class Shortcut;

// Registers the stored dictation hotkey ("/velnor/hotkey/start") with the
// key-down and key-up handlers of the dictation controller.
class ShortcutRegistration final {
public:
    using Handler = std::function<void()>;

    // `chordRegistered` (may be empty) hears each chord registered, for a
    // key source that must know it (the input method's addon).
    ShortcutRegistration(SettingsStore& settings, Logger& log, Shortcut& registrar, Handler onKeyDown,
                         Handler onKeyUp, std::function<void(ModifierKey)> chordRegistered = {});

    void registerShortcuts();
    void unregisterAll();

private:
    SettingsStore& m_settings;
    Logger& m_log;
    Shortcut& m_registrar;
    Handler m_onKeyDown;
    Handler m_onKeyUp;
    std::function<void(ModifierKey)> m_chordRegistered;
};

} // namespace velnor
