#include "log/SecretRedactor.h"

#include <QRegularExpression>

namespace velnor {

namespace {
// Secrets shorter than this would redact ordinary words.
constexpr qsizetype kMinimumSecretLength = 6;
} // namespace

void SecretRedactor::addSecret(const QString& secret)
{
    if (secret.size() < kMinimumSecretLength)
        return;
    std::lock_guard lock(m_mutex);
    if (!m_secrets.contains(secret))
        m_secrets.append(secret);
}

void SecretRedactor::removeSecret(const QString& secret)
{
    std::lock_guard lock(m_mutex);
    m_secrets.removeAll(secret);
}

QString SecretRedactor::redact(const QString& text) const
{
    static const QRegularExpression bearer(QStringLiteral("Bearer\\s+(?!<redacted>)[^\\s\"',}\\]]+"));
    QString result = text;
    result.replace(bearer, QStringLiteral("Bearer <redacted>"));
    std::lock_guard lock(m_mutex);
    for (const QString& secret : m_secrets)
        result.replace(secret, QStringLiteral("<redacted>"));
    return result;
}

} // namespace velnor
