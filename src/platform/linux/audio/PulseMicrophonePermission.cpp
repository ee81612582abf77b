#include "platform/linux/audio/PulseMicrophonePermission.h"

#include "core/Scheduler.h"
#include "platform/AudioDevices.h"

#include <algorithm>

namespace velnor {

PulseMicrophonePermission::PulseMicrophonePermission(AudioDevices& devices, Scheduler& mainQueue)
    : m_devices(devices)
    , m_mainQueue(mainQueue)
{
}

MicrophonePermission::Status PulseMicrophonePermission::status() const
{
    const auto sources = m_devices.sources();
    if (!sources)
        return Status::Denied;
    const bool usable = std::any_of(sources.value().cbegin(), sources.value().cend(), [](const AudioSourceInfo& s) {
        return !s.isMonitor && !s.isVirtual && s.isAlive && s.channelCount > 0;
    });
    return usable ? Status::Authorized : Status::Denied;
}

void PulseMicrophonePermission::request(std::function<void(bool granted)> answer)
{
    const bool granted = status() == Status::Authorized;
    m_mainQueue.post([answer = std::move(answer), granted] {
        if (answer)
            answer(granted);
    });
}

} // namespace velnor
