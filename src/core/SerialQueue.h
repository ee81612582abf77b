#pragma once

#include "core/Scheduler.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace velnor {

// One worker thread running posted work in FIFO order.
//
// Shutdown rule (destructor): work posted with async() before destruction
// still runs, and so does delayed work that is already due; delayed work that
// is not yet due is dropped. The destructor returns once the worker has
// stopped, so captured references stay valid for every task that runs.
class SerialQueue final {
public:
    explicit SerialQueue(QString label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> work);
    Cancellable asyncAfter(Duration delay, std::function<void()> work);

    // Blocks until all work posted before this call (not delayed work) ran.
    // Must not be called from the queue itself.
    void waitUntilIdle();

    bool isCurrentThread() const { return std::this_thread::get_id() == m_worker.get_id(); }
    const QString& label() const { return m_label; }

private:
    using Clock = std::chrono::steady_clock;
    struct Delayed {
        Cancellable handle;
        std::function<void()> work;
    };

    void run();

    const QString m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_ready;
    std::multimap<Clock::time_point, Delayed> m_delayed;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace velnor
