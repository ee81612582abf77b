#include "recognition/cloud/Tc3Signer.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>

namespace velnor::server::cloud {

namespace {

QByteArray hmacSha256(const QByteArray& key, const QByteArray& message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

QByteArray sha256Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

} // namespace

QString Tc3Signer::date(qint64 timestamp)
{
    return QDateTime::fromSecsSinceEpoch(timestamp, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd"));
}

QString Tc3Signer::credentialScope(const Tc3Call& call)
{
    return date(call.timestamp) + QLatin1Char('/') + call.service + QStringLiteral("/tc3_request");
}

QByteArray Tc3Signer::canonicalRequest(const Tc3Call& call)
{
    // Method, URI, (empty) query, the signed headers lowercased with a blank
    // line after them, their names, and the body's hash: one per line.
    return QByteArrayLiteral("POST\n/\n\n") + "content-type:" + kContentType + '\n' + "host:" + call.host.toUtf8()
        + '\n' + "x-tc-action:" + call.action.toLower().toUtf8() + "\n\n" + kSignedHeaders + '\n'
        + sha256Hex(call.payload);
}

QByteArray Tc3Signer::stringToSign(const Tc3Call& call)
{
    return QByteArray(kAlgorithm) + '\n' + QByteArray::number(call.timestamp) + '\n' + credentialScope(call).toUtf8()
        + '\n' + sha256Hex(canonicalRequest(call));
}

QByteArray Tc3Signer::signingKey(const QString& secretKey, const QString& date, const QString& service)
{
    const QByteArray dateKey = hmacSha256("TC3" + secretKey.toUtf8(), date.toUtf8());
    const QByteArray serviceKey = hmacSha256(dateKey, service.toUtf8());
    return hmacSha256(serviceKey, "tc3_request");
}

QByteArray Tc3Signer::signature(const QString& secretKey, const Tc3Call& call)
{
    return hmacSha256(signingKey(secretKey, date(call.timestamp), call.service), stringToSign(call)).toHex();
}

QByteArray Tc3Signer::authorization(const QString& secretId, const QString& secretKey, const Tc3Call& call)
{
    return QByteArray(kAlgorithm) + " Credential=" + secretId.toUtf8() + '/' + credentialScope(call).toUtf8()
        + ", SignedHeaders=" + kSignedHeaders + ", Signature=" + signature(secretKey, call);
}

QList<QPair<QByteArray, QByteArray>> Tc3Signer::headers(const QString& secretId, const QString& secretKey,
                                                         const Tc3Call& call)
{
    QList<QPair<QByteArray, QByteArray>> result{
        {"Authorization", authorization(secretId, secretKey, call)},
        {"Content-Type", kContentType},
        {"Host", call.host.toUtf8()},
        {"X-TC-Action", call.action.toUtf8()},
        {"X-TC-Timestamp", QByteArray::number(call.timestamp)},
        {"X-TC-Version", call.version.toUtf8()},
    };
    if (!call.region.isEmpty())
        result.append({"X-TC-Region", call.region.toUtf8()});
    return result;
}

} // namespace velnor::server::cloud
