#include "core/SerialQueue.h"

#include <future>

#include <pthread.h>

namespace velnor {

SerialQueue::SerialQueue(QString label)
    : m_label(std::move(label))
{
    m_worker = std::thread([this] { run(); });
    // Thread names are limited to 15 bytes; the tail of the label is the telling part.
    const QByteArray name = m_label.toUtf8().right(15);
    pthread_setname_np(m_worker.native_handle(), name.constData());
}

SerialQueue::~SerialQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void SerialQueue::async(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        m_ready.push_back(std::move(work));
    }
    m_wake.notify_one();
}

Cancellable SerialQueue::asyncAfter(Duration delay, std::function<void()> work)
{
    Cancellable handle = Cancellable::create();
    {
        std::lock_guard lock(m_mutex);
        m_delayed.emplace(Clock::now() + delay, Delayed{handle, std::move(work)});
    }
    m_wake.notify_one();
    return handle;
}

void SerialQueue::waitUntilIdle()
{
    std::promise<void> done;
    auto finished = done.get_future();
    async([&done] { done.set_value(); });
    finished.wait();
}

void SerialQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Move due delayed work behind what is already waiting, keeping order.
        const auto now = Clock::now();
        while (!m_delayed.empty() && m_delayed.begin()->first <= now) {
            Delayed item = std::move(m_delayed.begin()->second);
            m_delayed.erase(m_delayed.begin());
            m_ready.push_back([item = std::move(item)] {
                if (item.handle.beginRun())
                    item.work();
            });
        }

        if (!m_ready.empty()) {
            auto work = std::move(m_ready.front());
            m_ready.pop_front();
            lock.unlock();
            work();
            lock.lock();
            continue;
        }

        if (m_stopping)
            break;

        if (m_delayed.empty())
            m_wake.wait(lock);
        else
            m_wake.wait_until(lock, m_delayed.begin()->first);
    }
    m_delayed.clear();
}

} // namespace velnor
