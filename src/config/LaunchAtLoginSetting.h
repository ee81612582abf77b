#pragma once

#include "core/Lifetime.h"
#include "log/ConsoleSink.h"

#include <functional>

namespace velnor {

class LoginItem;
class Scheduler;
class SettingsStore;

// The "launch at login" switch: stores the choice, registers or unregisters
// the login item, and reports the actual state back to the switch.
class LaunchAtLoginSetting final {
public:
    using SwitchUpdater = std::function<void(bool on)>;

    LaunchAtLoginSetting(SettingsStore& store, LoginItem& loginItem, Scheduler& scheduler, ConsoleSink console);

    // `updateSwitch` sets the switch: 0.5 s after success to the login item's
    // actual state, or (on the next turn of the loop) back to `previous` after a
    // failure, which also restores the stored value. Nothing runs once this is gone.
    void setEnabled(bool on, bool previous, SwitchUpdater updateSwitch);

private:
    SettingsStore& m_store;
    LoginItem& m_loginItem;
    Scheduler& m_scheduler;
    ConsoleSink m_console;
    Lifetime m_lifetime;
};

} // namespace velnor
