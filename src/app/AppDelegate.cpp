#include "app/AppDelegate.h"

#include "app/ShortcutRegistration.h"
#include "config/IndicatorPositioner.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "ui/tray/TrayMenuModel.h"

namespace velnor {

AppDelegate::AppDelegate(SettingsStore& settings, Logger& log, ShortcutRegistration& shortcuts,
                         IndicatorPositioner& indicator, Hooks hooks)
    : m_settings(settings)
    , m_log(log)
    , m_shortcuts(shortcuts)
    , m_indicator(indicator)
    , m_hooks(std::move(hooks))
{
}

void AppDelegate::handle(const TrayMenuItem& item)
{
    switch (item.action) {
    case TrayAction::OpenMainWindow:
        openMainWindow();
        return;
    case TrayAction::ReinsertLastText:
        if (m_hooks.reinsertLastText)
            m_hooks.reinsertLastText();
        return;
    case TrayAction::Quit:
        quitApp();
        return;
    case TrayAction::SelectLanguage:
        selectLanguage(item.value);
        return;
    case TrayAction::SelectHotkey:
        selectHotkey(item.value);
        return;
    case TrayAction::SelectFloatingWindowPosition:
        selectFloatingWindowPosition(item.value);
        return;
    case TrayAction::None:
        return;
    }
}

void AppDelegate::openMainWindow()
{
    m_hooks.openMainWindow();
}

void AppDelegate::quitApp()
{
    m_hooks.quit();
}

bool AppDelegate::storeChoice(const std::optional<QString>& code, const char* key, const QString& missingText,
                              const QString& chosenText)
{
    if (!code) {
        m_log.error(missingText);
        return false;
    }
    m_settings.setString(QString::fromLatin1(key), *code);
    m_log.info(chosenText + *code);
    return true;
}

void AppDelegate::selectLanguage(const std::optional<QString>& code)
{
    if (!storeChoice(code, SettingsKey::OutputLanguage, QStringLiteral("无法获取语言代码"), QStringLiteral("已选择语言: ")))
        return;
    m_hooks.scheduleMenuRebuild();
}

void AppDelegate::selectHotkey(const std::optional<QString>& code)
{
    if (!storeChoice(code, SettingsKey::HotkeyStart, QStringLiteral("无法获取热键代码"), QStringLiteral("已选择热键: ")))
        return;
    m_shortcuts.unregisterAll();
    m_shortcuts.registerShortcuts();
    m_hooks.scheduleMenuRebuild();
}

void AppDelegate::selectFloatingWindowPosition(const std::optional<QString>& code)
{
    if (!storeChoice(code, SettingsKey::FloatingWindowPosition, QStringLiteral("无法获取悬浮窗位置代码"),
                     QStringLiteral("已选择悬浮窗位置: ")))
        return;
    m_indicator.setPosition(*code);
    m_hooks.scheduleMenuRebuild();
}

} // namespace velnor
