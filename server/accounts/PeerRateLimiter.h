#pragma once

#include "core/Clock.h"

#include <QHash>
#include <QHostAddress>
#include <QMutex>

#include <deque>

namespace velnor::server {

// At most `maxEvents` events per peer address within a sliding window, kept in
// memory. IPv6 peers count by their /64 network, which one host usually holds
// whole. Thread-safe.
class PeerRateLimiter final {
public:
    static constexpr int kMaxTrackedPeers = 50000;

    PeerRateLimiter(const Clock& clock, int maxEvents, qint64 windowMs);

    // Counts one event of `peer`; false (and *retryAfterSeconds) when the peer
    // already used its allowance.
    bool tryAcquire(const QHostAddress& peer, int* retryAfterSeconds = nullptr);

    static QByteArray bucketOf(const QHostAddress& peer);

private:
    void sweep(qint64 nowMs);

    const Clock& m_clock;
    const int m_maxEvents;
    const qint64 m_windowMs;
    QMutex m_mutex;
    QHash<QByteArray, std::deque<qint64>> m_events;   // event times per bucket, oldest first
    qint64 m_lastSweepMs = 0;
};

} // namespace velnor::server
