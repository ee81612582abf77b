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

void PermissionManager::checkAccessibility(std::function<void(bool enabled)> answer)
{
    // The settings store outlives every screen that asks.
    m_accessibility.checkEnabled([&settings = m_settings, answer = std::move(answer)](bool enabled) {
        settings.setBool(QString::fromLatin1(SettingsKey::AccessibilityPermission), enabled);
        answer(enabled);
    });
}

void PermissionManager::readAccessibility(std::function<void(bool enabled)> answer)
{
    m_accessibility.checkEnabled(std::move(answer));
}

void PermissionManager::enableAccessibility(std::function<void(const std::optional<QString>& error)> done)
{
    m_accessibility.enable(std::move(done));
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
    const auto finish = [this, answer](MicrophonePermission::Status status) {
        // Only known answers are stored: "not yet known" is not "refused".
        if (status != MicrophonePermission::Status::NotDetermined)
            storeMicrophone(status == MicrophonePermission::Status::Authorized);
        answer(status == MicrophonePermission::Status::Authorized);
    };
    if (m_microphone.status() != MicrophonePermission::Status::NotDetermined) {
        finish(m_microphone.status());
        return;
    }
    // Dictation may go ahead either way; the onboarding wants a microphone that is there.
    m_microphone.request([this, finish](bool) { finish(m_microphone.status()); });
}

QString PermissionManager::microphoneProblem() const
{
    return m_microphone.reason();
}

} // namespace velnor
