#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace velnor {

using Duration = std::chrono::milliseconds;

// Handle to one piece of scheduled work. Copies share the same work item;
// cancel() guarantees the work will not start afterwards. Thread-safe.
class Cancellable final {
public:
    Cancellable() = default;

    // Creates a live handle together with the flag the scheduler checks.
    static Cancellable create();

    void cancel() const;
    bool isCancelled() const;
    // True once the work ran or was cancelled; false for an empty handle too.
    bool isFinished() const;
    bool isValid() const { return static_cast<bool>(m_state); }

    // For schedulers: marks the work as started unless it was cancelled.
    // Returns true when the caller may run the work.
    bool beginRun() const;

private:
    struct State {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
    };
    std::shared_ptr<State> m_state;
};

// Delayed work on the owner's thread (the GUI thread in the app): the
// "main queue, N s later" of the behaviour.
class Scheduler {
public:
    Scheduler() = default;
    virtual ~Scheduler() = default;
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // A negative delay counts as zero: the work runs on the next turn.
    virtual Cancellable after(Duration delay, std::function<void()> work) = 0;

    // Runs the work on the next turn of the loop (a hop to the main queue).
    Cancellable post(std::function<void()> work) { return after(Duration::zero(), std::move(work)); }
};

// Seconds as the behaviour writes them, e.g. seconds(0.3).
constexpr Duration seconds(double value)
{
    return Duration(static_cast<Duration::rep>(value * 1000.0 + 0.5));
}

} // namespace velnor
