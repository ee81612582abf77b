#include "config/LaunchAtLoginSetting.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/Scheduler.h"
#include "platform/LoginItem.h"

namespace velnor {

LaunchAtLoginSetting::LaunchAtLoginSetting(SettingsStore& store, LoginItem& loginItem, Scheduler& scheduler,
                                           ConsoleSink console)
    : m_store(store)
    , m_loginItem(loginItem)
    , m_scheduler(scheduler)
    , m_console(std::move(console))
{
}

void LaunchAtLoginSetting::setEnabled(bool on, bool previous, SwitchUpdater updateSwitch)
{
    const std::optional<QString> storedBefore = m_store.string(SettingsKey::LaunchAtLogin);
    m_store.setString(SettingsKey::LaunchAtLogin, on ? QStringLiteral("true") : QStringLiteral("false"));
    const auto failure = on ? m_loginItem.registerItem() : m_loginItem.unregisterItem();
    if (!failure) {
        m_console(on ? QStringLiteral("Successfully enabled launch at login")
                     : QStringLiteral("Successfully disabled launch at login"));
        m_scheduler.after(seconds(0.5), [this, guard = m_lifetime.guard(), updateSwitch] {
            if (!guard.expired())
                updateSwitch(m_loginItem.isEnabled());
        });
        return;
    }
    m_console(QStringLiteral("Failed to ") + (on ? QStringLiteral("enable") : QStringLiteral("disable"))
              + QStringLiteral(" launch at login: ") + *failure);
    // The stored choice follows the switch back, or the next start would show
    // a state the login item does not have.
    if (storedBefore)
        m_store.setString(SettingsKey::LaunchAtLogin, *storedBefore);
    else
        m_store.remove(SettingsKey::LaunchAtLogin);
    m_scheduler.post([guard = m_lifetime.guard(), updateSwitch, previous] {
        if (!guard.expired())
            updateSwitch(previous);
    });
}

} // namespace velnor
