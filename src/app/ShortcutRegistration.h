#pragma once

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

    ShortcutRegistration(SettingsStore& settings, Logger& log, Shortcut& registrar, Handler onKeyDown,
                         Handler onKeyUp);

    void registerShortcuts();
    void unregisterAll();

private:
    SettingsStore& m_settings;
    Logger& m_log;
    Shortcut& m_registrar;
    Handler m_onKeyDown;
    Handler m_onKeyUp;
};

} // namespace velnor
