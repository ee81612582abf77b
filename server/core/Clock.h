#pragma once

#include <QDateTime>

namespace velnor::server {

// Wall-clock reads, in milliseconds since 1970, so rules with deadlines
// (code expiry, resend waits, token lifetimes) can be tested without waiting.
class Clock {
public:
    Clock() = default;
    virtual ~Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    virtual qint64 nowMs() const = 0;
};

class SystemClock final : public Clock {
public:
    qint64 nowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
};

} // namespace velnor::server
