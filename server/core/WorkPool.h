#pragma once

#include <QThreadPool>

#include <atomic>
#include <functional>

namespace velnor::server {

// Worker threads with a bounded queue. Work beyond the threads and the queue
// is refused at once (its caller answers "busy" instead of letting requests
// pile up), and a drained pool tells the work still queued not to run, so
// shutting down answers it rather than doing it.
class WorkPool final {
public:
    // Runs on a worker thread; `run` is false when the pool was drained before the task started.
    using Task = std::function<void(bool run)>;

    WorkPool(int threads, int maxQueued);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    // False when the pool is full or drained: the task was not taken.
    bool tryStart(Task task);
    // Queued tasks start with run = false from now on, and nothing new is taken.
    void drain();
    // No task is running or queued.
    bool idle() const { return m_taken.load() == 0; }
    void waitForDone() { m_pool.waitForDone(); }
    int threads() const { return m_pool.maxThreadCount(); }

private:
    QThreadPool m_pool;
    const int m_capacity;
    std::atomic<int> m_taken{0};
    std::atomic<bool> m_draining{false};
};

} // namespace velnor::server
