#include "app/ShortcutRegistration.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"

namespace velnor {

ShortcutRegistration::ShortcutRegistration(SettingsStore& settings, Logger& log, HotkeyRegistry& registry,
                                           HotkeyRegistry::Handler onKeyDown, HotkeyRegistry::Handler onKeyUp)
    : m_settings(settings)
    , m_log(log)
    , m_registry(registry)
    , m_onKeyDown(std::move(onKeyDown))
    , m_onKeyUp(std::move(onKeyUp))
{
}

DictationHotkey ShortcutRegistration::hotkeyFor(const QString& value)
{
    if (value == QLatin1String("ctrl_shift"))
        return DictationHotkey::CtrlShift;
    if (value == QLatin1String("fn"))
        return DictationHotkey::Fn;
    if (value == QLatin1String("left_option"))
        return DictationHotkey::LeftOption;
    if (value == QLatin1String("right_command"))
        return DictationHotkey::RightCommand;
    return DictationHotkey::FnShift;
}

void ShortcutRegistration::registerShortcuts()
{
    m_log.info(QStringLiteral("开始注册热键..."));
    const QString value = m_settings.stringOr(QString::fromLatin1(SettingsKey::HotkeyStart), QStringLiteral("fn_shift"));
    m_log.info(QStringLiteral("使用热键类型: ") + value);
    m_registry.registerHotkey(hotkeyFor(value), m_onKeyDown, m_onKeyUp);
    m_log.info(QStringLiteral("热键注册完成"));
}

void ShortcutRegistration::unregisterAll()
{
    m_registry.unregisterAll();
}

} // namespace velnor
