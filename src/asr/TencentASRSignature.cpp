#include "asr/TencentASRSignature.h"

#include "asr/HotWordSource.h"
#include "core/Clock.h"
#include "core/Graphemes.h"
#include "log/TencentASRLogger.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>

#include <cmath>
#include <limits>

namespace velnor {

namespace {

constexpr int maxHotWords = 128;
constexpr int maxHotWordCharacters = 30;

qint64 clampedWeight(double weight)
{
    if (std::isnan(weight) || weight < 1.0)
        return 1;
    if (weight > 11.0)
        return 11;
    return static_cast<qint64>(std::trunc(weight));
}

QString printed(const TencentASRSignature::Params& params)
{
    QStringList entries;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        entries.append(QStringLiteral("\"%1\": \"%2\"").arg(it.key(), it.value()));
    return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace

TencentASRSignature::TencentASRSignature(QString host, const Clock& clock, const HotWordSource* hotWords,
                                         TencentASRLogger& log, RandomSource random)
    : m_host(std::move(host))
    , m_clock(clock)
    , m_hotWords(hotWords)
    , m_log(log)
    , m_random(std::move(random))
{
}

TencentASRSignature::RandomSource TencentASRSignature::systemRandom()
{
    return [] { return QRandomGenerator::system()->generate(); };
}

quint32 TencentASRSignature::uniformBelow(quint32 bound, const RandomSource& random)
{
    // Draws at or above the largest multiple of `bound` would favour the low
    // values; they are thrown away.
    const quint64 range = quint64(std::numeric_limits<quint32>::max()) + 1;
    const quint64 limit = range - range % bound;
    for (;;) {
        const quint32 draw = random();
        if (draw < limit)
            return draw % bound;
    }
}

quint32 TencentASRSignature::randomFourDigits() const
{
    return uniformBelow(9000, m_random) + 1000;
}

QString TencentASRSignature::generateVoiceId() const
{
    return QStringLiteral("voice_") + QString::number(m_clock.now().toMSecsSinceEpoch()) + QLatin1Char('_')
        + QString::number(randomFourDigits());
}

qint64 TencentASRSignature::generateNonce() const
{
    const qint64 nonce = m_clock.now().toMSecsSinceEpoch() * 1000 + randomFourDigits();
    m_log.debug(QStringLiteral("🔧 生成nonce: ") + QString::number(nonce));
    return nonce;
}

QString TencentASRSignature::generateHotwordList() const
{
    QStringList items;
    const QList<HotWordEntry> cached = m_hotWords ? m_hotWords->cachedHotWords() : QList<HotWordEntry>();
    for (const HotWordEntry& entry : cached.mid(0, maxHotWords)) {
        const QString text = firstGraphemes(entry.text, maxHotWordCharacters);
        if (text.isEmpty() || text.contains(QLatin1Char('|')) || text.contains(QLatin1Char(',')))
            continue;
        items.append(text + QLatin1Char('|') + QString::number(clampedWeight(entry.weight)));
    }
    const QString list = items.join(QLatin1Char(','));
    if (list.isEmpty())
        m_log.info(QStringLiteral("ℹ️ 无可用热词"));
    else
        m_log.info(QStringLiteral("🔥 生成热词列表: ") + list);
    return list;
}

QString TencentASRSignature::buildSignatureString(const TencentASRConfig& config, Params params) const
{
    params.remove(QStringLiteral("signature"));
    // QMap iterates in key order; keys compare by UTF-16 code unit, which
    // matches code point order for the ASCII keys of the protocol.
    QStringList entries;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        entries.append(it.key() + QLatin1Char('=') + it.value());
    const QString text = m_host + QStringLiteral("/asr/v2/") + config.appId + QLatin1Char('?')
        + entries.join(QLatin1Char('&'));
    m_log.debug(QStringLiteral("🔧 签名原文: ") + text);
    return text;
}

QString TencentASRSignature::sign(const QString& secretKey, const QString& text)
{
    return QString::fromLatin1(
        QMessageAuthenticationCode::hash(text.toUtf8(), secretKey.toUtf8(), QCryptographicHash::Sha1).toBase64());
}

TencentASRSignature::Params TencentASRSignature::generateSignatureParams(const TencentASRConfig& config,
                                                                         const QString& voiceId) const
{
    const qint64 timestamp = m_clock.now().toSecsSinceEpoch();
    const qint64 expired = timestamp + 86400;
    const qint64 nonce = generateNonce();
    m_log.debug(QStringLiteral("🔧 时间戳: %1, 过期时间: %2, nonce: %3").arg(timestamp).arg(expired).arg(nonce));
    m_log.debug(QStringLiteral("🔧 VoiceId: ") + voiceId);

    Params params;
    params.insert(QStringLiteral("engine_model_type"), config.engineModelType);
    params.insert(QStringLiteral("expired"), QString::number(expired));
    params.insert(QStringLiteral("filter_dirty"), QStringLiteral("1"));
    params.insert(QStringLiteral("filter_modal"), QStringLiteral("1"));
    params.insert(QStringLiteral("filter_punc"), QStringLiteral("1"));
    params.insert(QStringLiteral("needvad"), QStringLiteral("1"));
    params.insert(QStringLiteral("nonce"), QString::number(nonce));
    params.insert(QStringLiteral("secretid"), config.secretId);
    params.insert(QStringLiteral("timestamp"), QString::number(timestamp));
    params.insert(QStringLiteral("voice_format"), QStringLiteral("1"));
    params.insert(QStringLiteral("voice_id"), voiceId);
    const QString hotwords = generateHotwordList();
    if (!hotwords.isEmpty())
        params.insert(QStringLiteral("hotword_list"), hotwords);

    const QString signature = sign(config.secretKey, buildSignatureString(config, params));
    m_log.debug(QStringLiteral("🔧 生成的签名: ") + signature);
    params.insert(QStringLiteral("signature"), signature);
    return params;
}

std::optional<QUrl> TencentASRSignature::buildWebSocketURL(const TencentASRConfig& config, const QString& voiceId) const
{
    m_log.info(QStringLiteral("🔧 开始构建WebSocket URL"));
    m_log.info(QStringLiteral("🔧 BaseURL: ") + config.baseURL);
    m_log.info(QStringLiteral("🔧 AppID: ") + config.appId);

    const Params params = generateSignatureParams(config, voiceId);
    m_log.info(QStringLiteral("🔧 生成的签名参数数量: ") + QString::number(params.size()));
    m_log.debug(QStringLiteral("🔧 所有参数: ") + printed(params));

    const QString base = config.baseURL + QLatin1Char('/') + config.appId;
    m_log.info(QStringLiteral("🔧 基础URL: ") + base);
    QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        m_log.error(QStringLiteral("❌ 无法创建URLComponents，基础URL无效: ") + base);
        return std::nullopt;
    }

    // Every name and value is percent-encoded except the unreserved
    // characters, so "+", "/", "=", "&", "|", "," and spaces survive any
    // decoder unchanged (a bare "+" is read as a space by many).
    QByteArray query;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(it.value());
    }
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    if (!url.isValid()) {
        m_log.error(QStringLiteral("❌ 无法构建最终URL"));
        return std::nullopt;
    }
    m_log.info(QStringLiteral("✅ WebSocket URL构建成功"));
    m_log.debug(QStringLiteral("🔧 最终URL: ") + url.toString(QUrl::FullyEncoded));
    return url;
}

} // namespace velnor
