#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace velnor::server {

// The account a real-time request must be signed with.
struct RealtimeCredentials {
    QString appId;
    QString secretId;
    QString secretKey;

    bool isConfigured() const { return !appId.isEmpty() && !secretId.isEmpty() && !secretKey.isEmpty(); }
};

// Outcome of checking one upgrade request: code 0 or the protocol's error
// code (4001 parameters, 4002 authentication) with a message.
struct RealtimeVerdict {
    int code = 0;
    QString message;
    QMap<QString, QString> params; // decoded query values
    QString voiceId;

    bool accepted() const { return code == 0; }
};

// Server-side check of a signed real-time URL: the path names our AppID, the
// query carries every required parameter, the signature is the Base64
// HMAC-SHA1 of host + path + "?" + the sorted, decoded parameters, and the
// URL is fresh: signed within 10 minutes of now, valid for at most a day and
// not expired.
class RealtimeSignature final {
public:
    static constexpr int kParameterError = 4001;
    static constexpr int kAuthenticationError = 4002;
    static constexpr qint64 kMaxClockSkewSeconds = 10 * 60;
    static constexpr qint64 kMaxLifetimeSeconds = 24 * 60 * 60;

    // `hostText` is the host[:port] the client signed; `encodedQuery` the raw query.
    static RealtimeVerdict verify(const RealtimeCredentials& credentials, const QString& hostText,
                                  const QString& path, const QByteArray& encodedQuery, qint64 nowSeconds);

    static QString expectedSignature(const QString& secretKey, const QString& hostText, const QString& path,
                                     const QMap<QString, QString>& params);
};

} // namespace velnor::server
