#include "realtime/UsedVoiceIds.h"

namespace velnor::server {

UsedVoiceIds::UsedVoiceIds(const Clock& clock, qsizetype maxRemembered)
    : m_clock(clock)
    , m_maxRemembered(maxRemembered)
{
}

UsedVoiceIds::Claim UsedVoiceIds::claim(const QString& voiceId, qint64 expiresAtSeconds)
{
    forgetExpired();
    if (m_expiry.contains(voiceId))
        return Claim::Reused;
    if (m_expiry.size() >= m_maxRemembered)
        return Claim::Full;
    m_expiry.insert(voiceId, expiresAtSeconds);
    m_byExpiry.emplace(expiresAtSeconds, voiceId);
    return Claim::Accepted;
}

void UsedVoiceIds::clear()
{
    m_expiry.clear();
    m_byExpiry.clear();
}

void UsedVoiceIds::forgetExpired()
{
    const qint64 now = m_clock.nowMs() / 1000;
    // An id whose URL expired at `now` can no longer be used (expiry must lie in the future).
    while (!m_byExpiry.empty() && m_byExpiry.begin()->first <= now) {
        m_expiry.remove(m_byExpiry.begin()->second);
        m_byExpiry.erase(m_byExpiry.begin());
    }
}

} // namespace velnor::server
