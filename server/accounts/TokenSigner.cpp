#include "accounts/TokenSigner.h"

#include "core/ConstantTime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace velnor::server {

namespace {

constexpr auto kBase64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;


} // namespace

TokenSigner::TokenSigner(QByteArray secret, const Clock& clock, qint64 lifetimeSeconds)
    : m_secret(std::move(secret))
    , m_clock(clock)
    , m_lifetimeSeconds(lifetimeSeconds)
{
}

QByteArray TokenSigner::signature(const QByteArray& payload) const
{
    return QMessageAuthenticationCode::hash(payload, m_secret, QCryptographicHash::Sha256).toBase64(kBase64Url);
}

QString TokenSigner::issue(qint64 userId) const
{
    const qint64 now = m_clock.nowMs() / 1000;
    const QJsonObject claims{{QStringLiteral("sub"), QString::number(userId)},
                             {QStringLiteral("iat"), now},
                             {QStringLiteral("exp"), now + m_lifetimeSeconds}};
    const QByteArray payload = QJsonDocument(claims).toJson(QJsonDocument::Compact).toBase64(kBase64Url);
    return QString::fromLatin1(payload + '.' + signature(payload));
}

std::optional<qint64> TokenSigner::verify(const QString& token) const
{
    const QByteArray bytes = token.toLatin1();
    const QList<QByteArray> parts = bytes.split('.');
    if (parts.size() != 2 || parts[0].isEmpty() || !equalInConstantTime(signature(parts[0]), parts[1]))
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(parts[0], kBase64Url | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const QJsonObject claims = QJsonDocument::fromJson(*decoded).object();
    const qint64 expires = claims.value(QStringLiteral("exp")).toInteger(-1);
    if (expires <= m_clock.nowMs() / 1000)
        return std::nullopt;
    bool ok = false;
    const qint64 userId = claims.value(QStringLiteral("sub")).toString().toLongLong(&ok);
    if (!ok || userId <= 0)
        return std::nullopt;
    return userId;
}

} // namespace velnor::server
