#include "accounts/PeerRateLimiter.h"

namespace velnor::server {

PeerRateLimiter::PeerRateLimiter(const Clock& clock, int maxEvents, qint64 windowMs)
    : m_clock(clock)
    , m_maxEvents(maxEvents)
    , m_windowMs(windowMs)
{
}

QByteArray PeerRateLimiter::bucketOf(const QHostAddress& peer)
{
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);   // also for ::ffff:a.b.c.d
    if (isV4)
        return QByteArray::number(v4);
    const Q_IPV6ADDR v6 = peer.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(v6.c), 8).toHex();
}

void PeerRateLimiter::sweep(qint64 nowMs)
{
    m_lastSweepMs = nowMs;
    for (auto it = m_events.begin(); it != m_events.end();) {
        if (it->empty() || it->back() <= nowMs - m_windowMs)
            it = m_events.erase(it);
        else
            ++it;
    }
}

bool PeerRateLimiter::tryAcquire(const QHostAddress& peer, int* retryAfterSeconds)
{
    const qint64 now = m_clock.nowMs();
    const QByteArray bucket = bucketOf(peer);
    QMutexLocker lock(&m_mutex);
    if (now - m_lastSweepMs >= m_windowMs || m_events.size() >= kMaxTrackedPeers)
        sweep(now);
    auto found = m_events.find(bucket);
    if (found == m_events.end()) {
        // Too many peers at once: refuse newcomers rather than grow without bound.
        if (m_events.size() >= kMaxTrackedPeers) {
            if (retryAfterSeconds)
                *retryAfterSeconds = static_cast<int>((m_windowMs + 999) / 1000);
            return false;
        }
        found = m_events.insert(bucket, {});
    }
    std::deque<qint64>& times = *found;
    while (!times.empty() && times.front() <= now - m_windowMs)
        times.pop_front();
    if (static_cast<int>(times.size()) >= m_maxEvents) {
        if (retryAfterSeconds)
            *retryAfterSeconds = static_cast<int>((times.front() + m_windowMs - now + 999) / 1000);
        return false;
    }
    times.push_back(now);
    return true;
}

} // namespace velnor::server
