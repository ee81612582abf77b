#pragma once

#include <QDateTime>

#include <atomic>

namespace velnor {

// Wall-clock reads (timestamps, file names, voice ids) go through this so
// tests can pin the date.
class Clock {
public:
    Clock() = default;
    virtual ~Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Test clock: stays where it is set. Safe to read from any thread.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(9, 30, 0)))
        : m_msecs(start.toMSecsSinceEpoch())
    {
    }

    QDateTime now() const override { return QDateTime::fromMSecsSinceEpoch(m_msecs.load()); }
    void set(const QDateTime& when) { m_msecs = when.toMSecsSinceEpoch(); }
    void advance(qint64 msecs) { m_msecs += msecs; }

private:
    std::atomic<qint64> m_msecs;
};

} // namespace velnor
