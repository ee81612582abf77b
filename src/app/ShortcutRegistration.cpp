#include "app/ShortcutRegistration.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "keyboard/HotkeyType.h"
#include "keyboard/Shortcut.h"
#include "log/Logger.h"

namespace velnor {

ShortcutRegistration::ShortcutRegistration(SettingsStore& settings, Logger& log, Shortcut& registrar,
                                           Handler onKeyDown, Handler onKeyUp,
                                           std::function<void(ModifierKey)> chordRegistered)
    : m_settings(settings)
    , m_log(log)
    , m_registrar(registrar)
    , m_onKeyDown(std::move(onKeyDown))
    , m_onKeyUp(std::move(onKeyUp))
    , m_chordRegistered(std::move(chordRegistered))
{
}

void ShortcutRegistration::registerShortcuts()
{
    m_log.info(QStringLiteral("开始注册热键..."));
    const QString value = m_settings.stringOr(QString::fromLatin1(SettingsKey::HotkeyStart), QStringLiteral("fn_shift"));
    m_log.info(QStringLiteral("使用热键类型: ") + value);
    const HotkeyType type = hotkeyTypeFromSetting(value);
    m_registrar.registerHotkey(type, m_onKeyDown, m_onKeyUp);
    if (m_chordRegistered)
        m_chordRegistered(hotkeyModifiers(type));
    m_log.info(QStringLiteral("热键注册完成"));
}

void ShortcutRegistration::unregisterAll()
{
    m_registrar.unregisterAll();
}

} // namespace velnor
