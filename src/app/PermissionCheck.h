#pragma once

namespace velnor {

class AccessibilityTrust;
class Logger;
class MicrophonePermission;
class SettingsStore;

// The start-up permission check: reads accessibility trust and the microphone
// status without asking the user (asking is the onboarding's job), stores
// both answers and logs what is missing. The stored microphone answer is a
// known one only (granted, or refused by the system), and it follows the
// live status afterwards: a microphone plugged in later counts at once.
class PermissionCheck final {
public:
    PermissionCheck(const AccessibilityTrust& accessibility, MicrophonePermission& microphone, SettingsStore& settings,
                    Logger& log);
    ~PermissionCheck();
    PermissionCheck(const PermissionCheck&) = delete;
    PermissionCheck& operator=(const PermissionCheck&) = delete;

    void requestPermissions();

private:
    // Stores the answer when it is a known one; true when it was.
    bool storeMicrophoneAnswer();

    const AccessibilityTrust& m_accessibility;
    MicrophonePermission& m_microphone;
    SettingsStore& m_settings;
    Logger& m_log;
};

} // namespace velnor
