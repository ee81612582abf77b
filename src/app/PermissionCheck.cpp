#include "app/PermissionCheck.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "platform/AccessibilityTrust.h"
#include "platform/MicrophonePermission.h"

namespace velnor {

PermissionCheck::PermissionCheck(const AccessibilityTrust& accessibility, const MicrophonePermission& microphone,
                                 SettingsStore& settings, Logger& log)
    : m_accessibility(accessibility)
    , m_microphone(microphone)
    , m_settings(settings)
    , m_log(log)
{
}

void PermissionCheck::requestPermissions()
{
    const bool accessibility = m_accessibility.isProcessTrusted();
    m_settings.setBool(QString::fromLatin1(SettingsKey::AccessibilityPermission), accessibility);
    const bool microphone = m_microphone.status() == MicrophonePermission::Status::Authorized;
    m_settings.setBool(QString::fromLatin1(SettingsKey::MicrophonePermission), microphone);

    if (accessibility && microphone) {
        m_log.info(QStringLiteral("所有系统权限已授予"));
        return;
    }
    if (!accessibility)
        m_log.warning(QStringLiteral("辅助功能权限未授予，部分功能可能无法正常工作"));
    if (!microphone)
        m_log.warning(QStringLiteral("麦克风权限未授予，语音识别功能将无法使用"));
}

} // namespace velnor
