#include "platform/linux/x11/SyntheticKeyEchoes.h"

namespace velnor::x11 {

SyntheticKeyEchoes::SyntheticKeyEchoes(std::function<std::int64_t()> nowMs)
    : m_nowMs(std::move(nowMs))
{
}

void SyntheticKeyEchoes::expect(std::uint32_t xKeycode, bool press)
{
    dropExpired();
    if (m_expected.size() >= kMaxPending)
        m_expected.removeFirst();
    m_expected.append({xKeycode, press, std::nullopt});
}

bool SyntheticKeyEchoes::consume(std::uint32_t xKeycode, bool press)
{
    dropExpired();
    // The server delivers XTest input in posting order, so only the oldest
    // announcement can match.
    if (m_expected.isEmpty() || m_expected.front().xKeycode != xKeycode || m_expected.front().press != press)
        return false;
    m_expected.removeFirst();
    return true;
}

void SyntheticKeyEchoes::listenerCaughtUp()
{
    const std::int64_t now = m_nowMs();
    for (Expected& expected : m_expected) {
        if (!expected.listenerCaughtUpAtMs)
            expected.listenerCaughtUpAtMs = now;
    }
}

void SyntheticKeyEchoes::dropExpired()
{
    const std::int64_t now = m_nowMs();
    while (!m_expected.isEmpty() && m_expected.front().listenerCaughtUpAtMs
           && now - *m_expected.front().listenerCaughtUpAtMs > kEchoLifetimeMs)
        m_expected.removeFirst();
}

} // namespace velnor::x11
