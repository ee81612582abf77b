#include "app/ShortcutRegistration.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "keyboard/HotkeyType.h"
#include "keyboard/Shortcut.h"
#include "log/Logger.h"

namespace velnor {

ShortcutRegistration::ShortcutRegistration(SettingsStore& settings, Logger& log, Shortcut& registrar,
                                           Handler onKeyDown, Handler onKeyUp)
    : m_settings(settings)
    , m_log(log)
    , m_registrar(registrar)
    , m_onKeyDown(std::move(onKeyDown))
    , m_onKeyUp(std::move(onKeyUp))
{
}

void ShortcutRegistration::registerShortcuts()
{
    m_log.info(QStringLiteral("开始注册热键..."));
    const QString value = m_settings.stringOr(QString::fromLatin1(SettingsKey::HotkeyStart), QStringLiteral("fn_shift"));
    m_log.info(QStringLiteral("使用热键类型: ") + value);
    m_registrar.registerHotkey(hotkeyTypeFromSetting(value), m_onKeyDown, m_onKeyUp);
    m_log.info(QStringLiteral("热键注册完成"));
}

void ShortcutRegistration::unregisterAll()
{
    m_registrar.unregisterAll();
}

} // namespace velnor
