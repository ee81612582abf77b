#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace velnor::server::cloud {

// One JSON API call of the cloud vendor, as far as its signature is concerned.
struct Tc3Call {
    QString host;       // e.g. "asr.tencentcloudapi.com" (the Host header, with a port when not 443)
    QString service;    // the credential scope's service: "asr"
    QString action;     // X-TC-Action: "SentenceRecognition"
    QString version;    // X-TC-Version: "2019-06-14"
    QString region;     // X-TC-Region; empty = not sent
    qint64 timestamp = 0; // X-TC-Timestamp, seconds since 1970 (UTC)
    QByteArray payload; // the JSON body exactly as sent
};

// The vendor's TC3-HMAC-SHA256 request signature: a canonical request over
// the POST body and the signed headers (content-type, host, x-tc-action), a
// string to sign with the UTC date's credential scope, and a key derived from
// the secret key through the date, the service and "tc3_request".
class Tc3Signer final {
public:
    static constexpr const char* kAlgorithm = "TC3-HMAC-SHA256";
    static constexpr const char* kContentType = "application/json; charset=utf-8";
    static constexpr const char* kSignedHeaders = "content-type;host;x-tc-action";

    static QString date(qint64 timestamp); // "YYYY-MM-DD" in UTC
    static QString credentialScope(const Tc3Call& call);
    static QByteArray canonicalRequest(const Tc3Call& call);
    static QByteArray stringToSign(const Tc3Call& call);
    static QByteArray signingKey(const QString& secretKey, const QString& date, const QString& service);
    // Lowercase hex of the final HMAC.
    static QByteArray signature(const QString& secretKey, const Tc3Call& call);
    static QByteArray authorization(const QString& secretId, const QString& secretKey, const Tc3Call& call);
    // Every header the call must carry, the Authorization header included.
    static QList<QPair<QByteArray, QByteArray>> headers(const QString& secretId, const QString& secretKey,
                                                        const Tc3Call& call);
};

} // namespace velnor::server::cloud
