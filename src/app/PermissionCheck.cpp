#include "app/PermissionCheck.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "platform/AccessibilityTrust.h"
#include "platform/MicrophonePermission.h"

namespace velnor {

PermissionCheck::PermissionCheck(const AccessibilityTrust& accessibility, MicrophonePermission& microphone,
                                 SettingsStore& settings, Logger& log)
    : m_accessibility(accessibility)
    , m_microphone(microphone)
    , m_settings(settings)
    , m_log(log)
{
    m_microphone.setStatusObserver([this](MicrophonePermission::Status) { storeMicrophoneAnswer(); });
}

PermissionCheck::~PermissionCheck()
{
    m_microphone.setStatusObserver({});
}

bool PermissionCheck::storeMicrophoneAnswer()
{
    const auto status = m_microphone.status();
    if (status == MicrophonePermission::Status::NotDetermined)
        return false; // the last known answer stays
    m_settings.setBool(QString::fromLatin1(SettingsKey::MicrophonePermission),
                       status == MicrophonePermission::Status::Authorized);
    return true;
}

void PermissionCheck::requestPermissions()
{
    const bool accessibility = m_accessibility.isProcessTrusted();
    m_settings.setBool(QString::fromLatin1(SettingsKey::AccessibilityPermission), accessibility);
    const bool known = storeMicrophoneAnswer();
    const bool microphone = m_microphone.status() == MicrophonePermission::Status::Authorized;

    if (accessibility && microphone) {
        m_log.info(QStringLiteral("所有系统权限已授予"));
        return;
    }
    if (!accessibility)
        m_log.warning(QStringLiteral("辅助功能权限未授予，部分功能可能无法正常工作"));
    if (!known)
        m_log.warning(QStringLiteral("麦克风状态未知: ") + m_microphone.reason());
    else if (!microphone)
        m_log.warning(QStringLiteral("麦克风权限未授予，语音识别功能将无法使用"));
}

} // namespace velnor
