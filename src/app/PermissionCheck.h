#pragma once

namespace velnor {

class AccessibilityTrust;
class Logger;
class MicrophonePermission;
class SettingsStore;

// The start-up permission check: reads accessibility trust and the microphone
// status without asking the user (asking is the onboarding's job), stores
// both answers and logs what is missing.
class PermissionCheck final {
public:
    PermissionCheck(const AccessibilityTrust& accessibility, const MicrophonePermission& microphone,
                    SettingsStore& settings, Logger& log);

    void requestPermissions();

private:
    const AccessibilityTrust& m_accessibility;
    const MicrophonePermission& m_microphone;
    SettingsStore& m_settings;
    Logger& m_log;
};

} // namespace velnor
