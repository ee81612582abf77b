#pragma once

#include "core/Clock.h"

#include <QHash>
#include <QString>

#include <map>

namespace velnor::server {

// The voice ids of accepted real-time URLs, so a URL cannot open a second
// stream. An id is remembered only until its URL expires: after that the
// signature check refuses the URL anyway. Memory stays bounded by the number
// of URLs that can be live at once, and by a hard cap.
class UsedVoiceIds final {
public:
    static constexpr qsizetype kMaxRemembered = 100000;

    enum class Claim { Accepted, Reused, Full };

    explicit UsedVoiceIds(const Clock& clock, qsizetype maxRemembered = kMaxRemembered);

    // Remembers `voiceId` until `expiresAtSeconds` (seconds since 1970).
    Claim claim(const QString& voiceId, qint64 expiresAtSeconds);
    void clear();
    qsizetype size() const { return m_expiry.size(); }

private:
    void forgetExpired();

    const Clock& m_clock;
    qsizetype m_maxRemembered;
    QHash<QString, qint64> m_expiry;
    std::multimap<qint64, QString> m_byExpiry;
};

} // namespace velnor::server
