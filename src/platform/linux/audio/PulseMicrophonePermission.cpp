#include "platform/linux/audio/PulseMicrophonePermission.h"

#include "platform/linux/audio/PulseConnection.h"

#include <algorithm>

namespace velnor {

PulseMicrophonePermission::PulseMicrophonePermission(PulseConnection& connection, Scheduler& mainQueue)
    : m_connection(connection)
    , m_mainQueue(mainQueue)
{
}

PulseMicrophonePermission::~PulseMicrophonePermission()
{
    m_pending.cancel();
}

MicrophonePermission::Status PulseMicrophonePermission::status() const
{
    if (!m_connection.isSettled())
        return Status::NotDetermined;
    const auto snapshot = m_connection.snapshot();
    if (!snapshot)
        return Status::Denied;
    const QList<AudioSourceInfo>& sources = snapshot.value().sources;
    const bool usable = std::any_of(sources.cbegin(), sources.cend(), [](const AudioSourceInfo& s) {
        return !s.isMonitor && !s.isVirtual && s.isAlive && s.channelCount > 0;
    });
    return usable ? Status::Authorized : Status::Denied;
}

void PulseMicrophonePermission::request(std::function<void(bool granted)> answer)
{
    answerWhenSettled(std::move(answer), Duration::zero());
}

void PulseMicrophonePermission::answerWhenSettled(std::function<void(bool granted)> answer, Duration waited)
{
    // Looked at again on the main queue: the question never waits for the server.
    const bool settled = m_connection.isSettled() || waited >= AnswerTimeout;
    const Duration delay = settled ? Duration::zero() : PollInterval;
    m_pending = m_mainQueue.after(delay, [this, answer = std::move(answer), settled, waited, delay]() mutable {
        if (!settled) {
            answerWhenSettled(std::move(answer), waited + delay);
            return;
        }
        if (answer)
            answer(status() == Status::Authorized);
    });
}

} // namespace velnor
