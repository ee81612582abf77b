#pragma once

#include "core/Scheduler.h"
#include "platform/MicrophonePermission.h"

namespace velnor {

class PulseConnection;

// Linux has no microphone prompt: access is "authorised" when the sound
// server answers and offers at least one real capture source (not a monitor
// of an output, not a null source), "denied" otherwise, and "not determined"
// while the app's connection has not heard from the server yet.
class PulseMicrophonePermission final : public MicrophonePermission {
public:
    // How long request() waits for the first answer of the server, and how often it looks.
    static constexpr Duration AnswerTimeout = seconds(3.0);
    static constexpr Duration PollInterval = Duration(50);

    PulseMicrophonePermission(PulseConnection& connection, Scheduler& mainQueue);
    ~PulseMicrophonePermission() override;

    Status status() const override;
    // Answers on the main queue once the connection knows (or the wait ends).
    void request(std::function<void(bool granted)> answer) override;

private:
    void answerWhenSettled(std::function<void(bool granted)> answer, Duration waited);

    PulseConnection& m_connection;
    Scheduler& m_mainQueue;
    Cancellable m_pending;
};

} // namespace velnor
