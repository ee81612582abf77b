#pragma once

#include "asr/TencentASRConfig.h"

#include <QMap>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace velnor {

class Clock;
class HotWordSource;
class TencentASRLogger;

// Signs one recognition stream: voice id, nonce, hot word list, the signed
// text and the URL. Stateless apart from its collaborators; every call reads
// the clock and the random source afresh.
class TencentASRSignature final {
public:
    // Uniform 32-bit draws; production uses the system's secure generator.
    using RandomSource = std::function<quint32()>;
    using Params = QMap<QString, QString>;

    // `host` is the recogniser's host[:port] as it stands in the signed text.
    TencentASRSignature(QString host, const Clock& clock, const HotWordSource* hotWords, TencentASRLogger& log,
                        RandomSource random = systemRandom());

    QString generateVoiceId() const;
    qint64 generateNonce() const;
    QString generateHotwordList() const;
    QString buildSignatureString(const TencentASRConfig& config, Params params) const;
    Params generateSignatureParams(const TencentASRConfig& config, const QString& voiceId) const;
    std::optional<QUrl> buildWebSocketURL(const TencentASRConfig& config, const QString& voiceId) const;

    // Base64 of HMAC-SHA1(key, text), both as UTF-8.
    static QString sign(const QString& secretKey, const QString& text);
    // A uniform draw from 0..bound-1 without modulo bias (rejection sampling).
    static quint32 uniformBelow(quint32 bound, const RandomSource& random);
    static RandomSource systemRandom();

private:
    quint32 randomFourDigits() const;

    const QString m_host;
    const Clock& m_clock;
    const HotWordSource* m_hotWords;
    TencentASRLogger& m_log;
    RandomSource m_random;
};

} // namespace velnor
