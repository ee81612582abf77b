#pragma once

#include "app/HotkeyRegistry.h"

#include <QString>

namespace velnor {

class Logger;
class SettingsStore;

// Registers the stored dictation hotkey ("/velnor/hotkey/start") with the
// key-down and key-up handlers of the dictation controller.
class ShortcutRegistration final {
public:
    ShortcutRegistration(SettingsStore& settings, Logger& log, HotkeyRegistry& registry, HotkeyRegistry::Handler onKeyDown,
                         HotkeyRegistry::Handler onKeyUp);

    void registerShortcuts();
    void unregisterAll();

    // The hotkey a stored value selects; anything unknown is Fn+Shift.
    static DictationHotkey hotkeyFor(const QString& value);

private:
    SettingsStore& m_settings;
    Logger& m_log;
    HotkeyRegistry& m_registry;
    HotkeyRegistry::Handler m_onKeyDown;
    HotkeyRegistry::Handler m_onKeyUp;
};

} // namespace velnor
