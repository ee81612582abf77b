#pragma once

#include <chrono>

namespace velnor {

// Monotonic time and blocking waits for the worker queues that pace audio
// (the processing queue's 40 ms packets, the cache upload's stagger). Tests
// replace it so pacing runs on virtual time.
class Pacer {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    Pacer() = default;
    virtual ~Pacer() = default;
    Pacer(const Pacer&) = delete;
    Pacer& operator=(const Pacer&) = delete;

    virtual TimePoint now() const = 0;
    // Blocks the calling (worker) thread until `when`.
    virtual void sleepUntil(TimePoint when) = 0;
};

class SteadyPacer final : public Pacer {
public:
    TimePoint now() const override;
    void sleepUntil(TimePoint when) override;
};

} // namespace velnor
