#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace velnor {

class AccessibilityBus;
class MicrophonePermission;
class SettingsStore;

// Checks and requests the two permissions dictation needs and remembers the
// last answers in the settings. Main thread only.
class PermissionManager final {
public:
    PermissionManager(SettingsStore& settings, AccessibilityBus& accessibility, MicrophonePermission& microphone);

    // Asks without any system prompt, stores the result, then answers (later,
    // on this thread: the desktop is asked over D-Bus).
    void checkAccessibility(std::function<void(bool enabled)> answer);
    // The same question for a screen that only shows the answer: stores nothing.
    void readAccessibility(std::function<void(bool enabled)> answer);
    // Turns the desktop's accessibility on; `done` gets the error text when refused.
    void enableAccessibility(std::function<void(const std::optional<QString>& error)> done);
    // The live status, never the stored answer: a microphone unplugged since
    // the last grant reads as not granted.
    bool isMicrophoneAuthorized() const;
    // Live status first; asks only when undetermined. The answer is stored and
    // delivered on the main thread.
    void requestMicrophone(std::function<void(bool granted)> answer);
    // Why the microphone is not usable; empty when it is.
    QString microphoneProblem() const;

private:
    void storeMicrophone(bool granted);

    SettingsStore& m_settings;
    AccessibilityBus& m_accessibility;
    MicrophonePermission& m_microphone;
};

} // namespace velnor
