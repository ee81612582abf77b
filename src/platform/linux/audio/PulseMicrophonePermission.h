#pragma once

#include "core/Scheduler.h"
#include "platform/MicrophonePermission.h"

#include <QObject>

#include <memory>

namespace velnor {

class PulseConnection;

// Linux has no microphone prompt: access is "authorised" when the sound
// server answers and offers at least one real capture source (not a monitor
// of an output, not a null source), "denied" only when the server refuses
// this client, and "not determined" otherwise (no answer yet, server gone,
// no microphone plugged in), with the reason.
class PulseMicrophonePermission final : public MicrophonePermission {
public:
    // How long request() waits for the first answer of the server, and how often it looks.
    static constexpr Duration AnswerTimeout = seconds(3.0);
    static constexpr Duration PollInterval = Duration(50);

    // Created on the main thread, where status changes are reported.
    PulseMicrophonePermission(PulseConnection& connection, Scheduler& mainQueue);
    ~PulseMicrophonePermission() override;

    Status status() const override;
    QString reason() const override;
    // Answers on the main queue once the connection knows (or the wait ends).
    void request(std::function<void(bool granted)> answer) override;
    void setStatusObserver(std::function<void(Status)> observer) override;

private:
    void answerWhenSettled(std::function<void(bool granted)> answer, Duration waited);
    void reportIfChanged();

    PulseConnection& m_connection;
    Scheduler& m_mainQueue;
    Cancellable m_pending;
    // Lives on the main thread: the connection's loop thread hands changes over through it.
    std::unique_ptr<QObject> m_mainThread = std::make_unique<QObject>();
    std::function<void(Status)> m_observer;
    Status m_reported = Status::NotDetermined;
};

} // namespace velnor
