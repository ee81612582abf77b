#include "core/ManualScheduler.h"

#include <optional>

namespace velnor {

Cancellable ManualScheduler::after(Duration delay, std::function<void()> work)
{
    Cancellable handle = Cancellable::create();
    const Duration due = m_now + (delay < Duration::zero() ? Duration::zero() : delay);
    m_items.emplace(Key{due, m_sequence++}, Item{handle, std::move(work)});
    return handle;
}

void ManualScheduler::advanceBy(Duration delta)
{
    const Duration end = m_now + delta;
    while (!m_items.empty()) {
        auto first = m_items.begin();
        if (first->first.first > end)
            break;
        Item item = std::move(first->second);
        m_now = std::max(m_now, first->first.first);
        m_items.erase(first);
        if (item.handle.beginRun())
            item.work();
    }
    m_now = end;
}

void ManualScheduler::runUntilIdle(Duration limit)
{
    const Duration end = m_now + limit;
    while (auto next = nextDueIn()) {
        if (m_now + *next > end)
            break;
        advanceBy(*next);
    }
}

std::size_t ManualScheduler::pendingCount() const
{
    std::size_t count = 0;
    for (const auto& entry : m_items)
        count += entry.second.handle.isCancelled() ? 0 : 1;
    return count;
}

std::optional<Duration> ManualScheduler::nextDueIn() const
{
    for (const auto& entry : m_items) {
        if (!entry.second.handle.isCancelled())
            return entry.first.first - m_now;
    }
    return std::nullopt;
}

} // namespace velnor
