#pragma once

#include "core/Clock.h"

namespace velnor::server::test {

class ManualClock final : public Clock {
public:
    explicit ManualClock(qint64 nowMs = 1'800'000'000'000) : m_now(nowMs) {}
    qint64 nowMs() const override { return m_now; }
    void advanceMs(qint64 ms) { m_now += ms; }

private:
    qint64 m_now;
};

} // namespace velnor::server::test
