#pragma once

#include "core/Scheduler.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace velnor {

// Virtual-time scheduler for tests. Work runs only when the test advances
// time; work due at the same instant runs in the order it was scheduled.
class ManualScheduler final : public Scheduler {
public:
    Cancellable after(Duration delay, std::function<void()> work) override;

    Duration now() const { return m_now; }

    // Runs everything due up to now + delta (including work scheduled by that
    // work, when it falls inside the window), then sets the clock to the end.
    void advanceBy(Duration delta);
    // Runs work that is due right now (zero-delay posts).
    void runDue() { advanceBy(Duration::zero()); }
    // Runs until nothing is pending, up to a bound that guards against loops.
    void runUntilIdle(Duration limit = std::chrono::hours(1));

    // Pending, not cancelled work items.
    std::size_t pendingCount() const;
    // Delay until the next pending item, if any.
    std::optional<Duration> nextDueIn() const;

private:
    struct Item {
        Cancellable handle;
        std::function<void()> work;
    };
    using Key = std::pair<Duration, std::uint64_t>;

    std::map<Key, Item> m_items;
    Duration m_now{0};
    std::uint64_t m_sequence = 0;
};

} // namespace velnor
