#include "config/DefaultSettings.h"

#include "config/IndicatorPositioner.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/Scheduler.h"

namespace velnor {

const QList<std::pair<QString, QString>>& registeredDefaults()
{
    static const QList<std::pair<QString, QString>> defaults = {
        {SettingsKey::FloatingWindowPosition, QStringLiteral("bottom_center")},
        {SettingsKey::PopupAfterTextInput, QStringLiteral("true")},
        {SettingsKey::CurrentQasrType, QStringLiteral("16k_zh")},
        {SettingsKey::MaxRecordingDuration, QStringLiteral("30")},
        {SettingsKey::EnableSoundEffects, QStringLiteral("true")},
        {SettingsKey::OutputLanguage, QStringLiteral("default")},
        {SettingsKey::RecognitionMode, QStringLiteral("traditional")},
        {SettingsKey::RealtimeTimeout, QStringLiteral("5")},
        {SettingsKey::OverOverEnable, QStringLiteral("false")},
        {SettingsKey::OverOverKeyType, QStringLiteral("enter")},
    };
    return defaults;
}

DefaultSettingsRegistrar::DefaultSettingsRegistrar(SettingsStore& store, Scheduler& scheduler,
                                                   IndicatorPositioner& positioner)
    : m_store(store)
    , m_scheduler(scheduler)
    , m_positioner(positioner)
{
}

void DefaultSettingsRegistrar::registerDefaults()
{
    for (const auto& [key, value] : registeredDefaults()) {
        if (m_store.string(key))
            continue;
        m_store.setString(key, value);
        if (key == QLatin1String(SettingsKey::FloatingWindowPosition)) {
            m_scheduler.after(seconds(0.5), [&positioner = m_positioner] {
                positioner.setPosition(QStringLiteral("bottom_center"));
            });
        }
    }
}

} // namespace velnor
