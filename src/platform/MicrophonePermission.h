#pragma once

#include <QString>

#include <functional>

namespace velnor {

// Microphone authorisation. On Linux there is no prompt: "authorized" means a
// usable capture source exists, "denied" that the sound server refused us,
// and "not determined" that nothing is known for sure (no server yet, no
// microphone found), with the reason.
class MicrophonePermission {
public:
    enum class Status { NotDetermined, Authorized, Denied, Restricted };

    MicrophonePermission() = default;
    virtual ~MicrophonePermission() = default;
    MicrophonePermission(const MicrophonePermission&) = delete;
    MicrophonePermission& operator=(const MicrophonePermission&) = delete;

    virtual Status status() const = 0;
    // Why the status is not "authorized" (for logs and the user); empty when it is.
    virtual QString reason() const { return {}; }
    // Asks the user when not yet determined; the answer (whether recording
    // may go ahead, mayRecord()) arrives on the main thread.
    virtual void request(std::function<void(bool granted)> answer) = 0;
    // Called on the main thread whenever the status changes; empty to stop.
    // A permission that never changes by itself keeps no observer.
    virtual void setStatusObserver(std::function<void(Status)> observer) { (void)observer; }
};

// The one rule of every recording path: record unless the system refused.
// An undetermined answer is tried (the capture then fails with its own
// reason, and a microphone plugged in later works at once).
inline bool mayRecord(MicrophonePermission::Status status)
{
    return status != MicrophonePermission::Status::Denied && status != MicrophonePermission::Status::Restricted;
}

} // namespace velnor
