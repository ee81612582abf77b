#pragma once

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace velnor::server {

// A timer that calls back every interval on the thread that started it, until
// stopped or destroyed. Injected, so tests run on virtual time.
class RepeatingTimer {
public:
    RepeatingTimer() = default;
    virtual ~RepeatingTimer() = default;
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    virtual void start(std::chrono::milliseconds interval, std::function<void()> tick) = 0;
    virtual void stop() = 0;
};

using RepeatingTimerFactory = std::function<std::unique_ptr<RepeatingTimer>()>;

class QtRepeatingTimer final : public RepeatingTimer {
public:
    void start(std::chrono::milliseconds interval, std::function<void()> tick) override
    {
        m_timer.disconnect();
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(tick));
        m_timer.start(interval);
    }
    void stop() override { m_timer.stop(); }

    static RepeatingTimerFactory factory()
    {
        return [] { return std::make_unique<QtRepeatingTimer>(); };
    }

private:
    QTimer m_timer;
};

} // namespace velnor::server
