#include "ui/onboarding/PermissionManager.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "platform/MicrophonePermission.h"
#include "ui/onboarding/AccessibilityBus.h"

namespace velnor {

PermissionManager::PermissionManager(SettingsStore& settings, AccessibilityBus& accessibility,
                                     MicrophonePermission& microphone)
    : m_settings(settings)
    , m_accessibility(accessibility)
    , m_microphone(microphone)
{
}

bool PermissionManager::checkAccessibility()
{
    const bool enabled = m_accessibility.isEnabled();
    m_settings.setBool(QString::fromLatin1(SettingsKey::AccessibilityPermission), enabled);
    return enabled;
}

bool PermissionManager::isMicrophoneAuthorized() const
{
    return m_microphone.status() == MicrophonePermission::Status::Authorized;
}

void PermissionManager::storeMicrophone(bool granted)
{
    m_settings.setBool(QString::fromLatin1(SettingsKey::MicrophonePermission), granted);
}

void PermissionManager::requestMicrophone(std::function<void(bool granted)> answer)
{
    switch (m_microphone.status()) {
    case MicrophonePermission::Status::Authorized:
        storeMicrophone(true);
        answer(true);
        return;
    case MicrophonePermission::Status::NotDetermined:
        m_microphone.request([this, answer = std::move(answer)](bool granted) {
            storeMicrophone(granted);
            answer(granted);
        });
        return;
    case MicrophonePermission::Status::Denied:
    case MicrophonePermission::Status::Restricted:
        storeMicrophone(false);
        answer(false);
        return;
    }
}

} // namespace velnor
