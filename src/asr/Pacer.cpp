#include "asr/Pacer.h"

#include <thread>

namespace velnor {

Pacer::TimePoint SteadyPacer::now() const
{
    return std::chrono::steady_clock::now();
}

void SteadyPacer::sleepUntil(TimePoint when)
{
    std::this_thread::sleep_until(when);
}

} // namespace velnor
