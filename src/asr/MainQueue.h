#pragma once

#include <QObject>

#include <functional>

namespace velnor {

// The hop to the main thread: "post to the main queue". post() may be called
// from any thread; the work runs on the main thread in posting order.
class MainQueue {
public:
    MainQueue() = default;
    virtual ~MainQueue() = default;
    MainQueue(const MainQueue&) = delete;
    MainQueue& operator=(const MainQueue&) = delete;

    virtual void post(std::function<void()> work) = 0;
};

// Production: queued calls into the thread that created it (the GUI thread).
class QtMainQueue final : public MainQueue {
public:
    void post(std::function<void()> work) override;

private:
    QObject m_context;
};

} // namespace velnor
