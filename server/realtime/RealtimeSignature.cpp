#include "realtime/RealtimeSignature.h"

#include "core/ConstantTime.h"

#include <QMessageAuthenticationCode>
#include <QStringList>

namespace velnor::server {

namespace {

RealtimeVerdict reject(int code, QString message, QMap<QString, QString> params = {})
{
    RealtimeVerdict verdict;
    verdict.code = code;
    verdict.message = std::move(message);
    verdict.voiceId = params.value(QStringLiteral("voice_id"));
    verdict.params = std::move(params);
    return verdict;
}

bool isInteger(const QString& text)
{
    bool ok = false;
    text.toLongLong(&ok);
    return ok;
}


} // namespace

QString RealtimeSignature::expectedSignature(const QString& secretKey, const QString& hostText, const QString& path,
                                             const QMap<QString, QString>& params)
{
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (it.key() != QLatin1String("signature"))
            pairs.append(it.key() + QLatin1Char('=') + it.value());
    }
    const QString text = hostText + path + QLatin1Char('?') + pairs.join(QLatin1Char('&'));
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(text.toUtf8(), secretKey.toUtf8(), QCryptographicHash::Sha1).toBase64());
}

RealtimeVerdict RealtimeSignature::verify(const RealtimeCredentials& credentials, const QString& hostText,
                                          const QString& path, const QByteArray& encodedQuery, qint64 nowSeconds)
{
    if (!credentials.isConfigured())
        return reject(kAuthenticationError, QStringLiteral("real-time recognition is not configured on this server"));

    const QString prefix = QStringLiteral("/asr/v2/");
    if (!path.startsWith(prefix) || path.mid(prefix.size()) != credentials.appId)
        return reject(kAuthenticationError, QStringLiteral("unknown AppID in path %1").arg(path));

    // Decoded exactly once; a "+" is a plus sign here, never a space.
    QMap<QString, QString> params;
    if (!encodedQuery.isEmpty()) {
        for (const QByteArray& pair : encodedQuery.split('&')) {
            if (pair.isEmpty())
                continue;
            const qsizetype eq = pair.indexOf('=');
            const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(eq < 0 ? pair : pair.left(eq)));
            const QString value = eq < 0 ? QString() : QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
            if (params.contains(key))
                return reject(kParameterError, QStringLiteral("parameter %1 appears twice").arg(key), params);
            params.insert(key, value);
        }
    }

    static const char* const required[] = {"secretid", "timestamp", "expired", "nonce", "engine_model_type",
                                           "voice_id", "voice_format", "signature"};
    for (const char* key : required) {
        if (params.value(QLatin1String(key)).isEmpty())
            return reject(kParameterError, QStringLiteral("missing parameter %1").arg(QLatin1String(key)), params);
    }
    for (const char* key : {"timestamp", "expired", "nonce"}) {
        if (!isInteger(params.value(QLatin1String(key))))
            return reject(kParameterError, QStringLiteral("parameter %1 is not an integer").arg(QLatin1String(key)),
                          params);
    }
    if (params.value(QStringLiteral("voice_format")) != QLatin1String("1"))
        return reject(kParameterError, QStringLiteral("voice_format must be 1 (16-bit PCM)"), params);
    if (!params.value(QStringLiteral("engine_model_type")).startsWith(QLatin1String("16k")))
        return reject(kParameterError, QStringLiteral("engine_model_type must be a 16 kHz model"), params);

    if (params.value(QStringLiteral("secretid")) != credentials.secretId)
        return reject(kAuthenticationError, QStringLiteral("unknown secretid"), params);
    const qint64 timestamp = params.value(QStringLiteral("timestamp")).toLongLong();
    const qint64 expired = params.value(QStringLiteral("expired")).toLongLong();
    if (expired <= nowSeconds)
        return reject(kAuthenticationError, QStringLiteral("signature expired"), params);
    // A URL signed long ago (or far ahead), or one meant to stay valid for
    // longer than a day, is a URL someone kept: signed URLs are made at connection time.
    if (timestamp < nowSeconds - kMaxClockSkewSeconds || timestamp > nowSeconds + kMaxClockSkewSeconds)
        return reject(kAuthenticationError, QStringLiteral("timestamp is more than 10 minutes off"), params);
    if (expired - timestamp > kMaxLifetimeSeconds)
        return reject(kAuthenticationError, QStringLiteral("signature valid for more than a day"), params);
    const QString expected = expectedSignature(credentials.secretKey, hostText, path, params);
    if (!equalInConstantTime(expected.toLatin1(), params.value(QStringLiteral("signature")).toUtf8()))
        return reject(kAuthenticationError, QStringLiteral("signature mismatch"), params);

    RealtimeVerdict verdict;
    verdict.voiceId = params.value(QStringLiteral("voice_id"));
    verdict.params = std::move(params);
    return verdict;
}

} // namespace velnor::server
