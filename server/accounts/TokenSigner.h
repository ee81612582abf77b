#pragma once

#include "core/Clock.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace velnor::server {

// Session tokens: a Base64url JSON payload (user id, issue and expiry times)
// and its HMAC-SHA256 under the server's secret, joined by a dot.
class TokenSigner final {
public:
    static constexpr qint64 kDefaultLifetimeSeconds = 30LL * 24 * 3600;

    TokenSigner(QByteArray secret, const Clock& clock, qint64 lifetimeSeconds = kDefaultLifetimeSeconds);

    QString issue(qint64 userId) const;
    // The user id of a token this server signed and that has not expired; none otherwise.
    std::optional<qint64> verify(const QString& token) const;

private:
    QByteArray signature(const QByteArray& payload) const;

    QByteArray m_secret;
    const Clock& m_clock;
    qint64 m_lifetimeSeconds;
};

} // namespace velnor::server
