#include "core/WorkPool.h"

#include <algorithm>

namespace velnor::server {

WorkPool::WorkPool(int threads, int maxQueued)
    : m_capacity(std::max(1, threads) + std::max(0, maxQueued))
{
    m_pool.setMaxThreadCount(std::max(1, threads));
    m_pool.setExpiryTimeout(-1);   // threads keep their per-thread state (database connections)
}

WorkPool::~WorkPool()
{
    m_pool.waitForDone();
}

bool WorkPool::tryStart(Task task)
{
    if (m_draining.load())
        return false;
    if (m_taken.fetch_add(1) >= m_capacity) {
        m_taken.fetch_sub(1);
        return false;
    }
    m_pool.start([this, task = std::move(task)] {
        task(!m_draining.load());
        m_taken.fetch_sub(1);
    });
    return true;
}

void WorkPool::drain()
{
    m_draining.store(true);
}

} // namespace velnor::server
