#pragma once

#include <functional>

namespace velnor {

class AccessibilityBus;
class MicrophonePermission;
class SettingsStore;

// Checks and requests the two permissions dictation needs and remembers the
// last answers in the settings. Main thread only.
class PermissionManager final {
public:
    PermissionManager(SettingsStore& settings, AccessibilityBus& accessibility, MicrophonePermission& microphone);

    // Asks without any system prompt and stores the result.
    bool checkAccessibility();
    // The live status, never the stored answer: a microphone unplugged since
    // the last grant reads as not granted.
    bool isMicrophoneAuthorized() const;
    // Live status first; asks only when undetermined. The answer is stored and
    // delivered on the main thread.
    void requestMicrophone(std::function<void(bool granted)> answer);

    AccessibilityBus& accessibilityBus() { return m_accessibility; }

private:
    void storeMicrophone(bool granted);

    SettingsStore& m_settings;
    AccessibilityBus& m_accessibility;
    MicrophonePermission& m_microphone;
};

} // namespace velnor
