#pragma once

#include <functional>

namespace velnor {

// Microphone authorisation. On Linux there is no prompt: "authorized" means a
// usable capture source exists, "denied" that none does (or the sound server
// refused us).
class MicrophonePermission {
public:
    enum class Status { NotDetermined, Authorized, Denied, Restricted };

    MicrophonePermission() = default;
    virtual ~MicrophonePermission() = default;
    MicrophonePermission(const MicrophonePermission&) = delete;
    MicrophonePermission& operator=(const MicrophonePermission&) = delete;

    virtual Status status() const = 0;
    // Asks the user when not yet determined; the answer arrives on the main thread.
    virtual void request(std::function<void(bool granted)> answer) = 0;
};

} // namespace velnor
