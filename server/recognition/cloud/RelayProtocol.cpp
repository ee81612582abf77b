#include "recognition/cloud/RelayProtocol.h"

#include "realtime/RealtimeSignature.h"
#include "recognition/cloud/BlockingHttp.h"
#include "recognition/cloud/SentenceRecognition.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace velnor::server::cloud {

namespace {

constexpr qsizetype kMaxUpstreamMessage = 200;

StreamEvent failure(int code, const QString& why)
{
    StreamEvent event;
    event.kind = StreamEvent::Kind::Failed;
    event.code = code;
    event.error = QStringLiteral("cloud recogniser: ") + why;
    return event;
}

bool isInteger(const QJsonValue& value)
{
    return value.isDouble() && value.toDouble() == double(value.toInteger());
}

} // namespace

QUrl RelayProtocol::signedUrl(const CloudSettings& settings, const QString& voiceId, const RecognitionContext& context,
                              qint64 nowSeconds, quint32 nonce)
{
    QString base = settings.realtimeUrl.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString path = base + QLatin1Char('/') + settings.appId;

    // The app's own stream settings: the results read the same relayed or direct.
    QMap<QString, QString> params{
        {QStringLiteral("engine_model_type"), SentenceRecognition::engineModel(context.language)},
        {QStringLiteral("expired"), QString::number(nowSeconds + kUrlLifetimeSeconds)},
        {QStringLiteral("filter_dirty"), QStringLiteral("1")},
        {QStringLiteral("filter_modal"), QStringLiteral("1")},
        {QStringLiteral("filter_punc"), QStringLiteral("1")},
        {QStringLiteral("needvad"), QStringLiteral("1")},
        {QStringLiteral("nonce"), QString::number(nonce)},
        {QStringLiteral("secretid"), settings.secretId},
        {QStringLiteral("timestamp"), QString::number(nowSeconds)},
        {QStringLiteral("voice_format"), QStringLiteral("1")},
        {QStringLiteral("voice_id"), voiceId},
    };
    if (const QString hotWords = SentenceRecognition::hotWordList(context.hotWords); !hotWords.isEmpty())
        params.insert(QStringLiteral("hotword_list"), hotWords);
    params.insert(QStringLiteral("signature"), RealtimeSignature::expectedSignature(
                                                   settings.secretKey, hostHeaderOf(settings.realtimeUrl), path, params));

    // Everything but the unreserved characters is escaped, so the Base64
    // signature's "+", "/" and "=" and any hot word come back unchanged.
    QByteArray query;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        query += (query.isEmpty() ? "" : "&") + QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(it.value());
    QUrl url = settings.realtimeUrl;
    url.setPath(path);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

int RelayProtocol::clientCode(qint64 upstreamCode)
{
    if (upstreamCode == RealtimeSignature::kParameterError || upstreamCode == RealtimeSignature::kAuthenticationError)
        return 0;
    return upstreamCode >= 4000 && upstreamCode <= 4999 ? int(upstreamCode) : 0;
}

std::vector<StreamEvent> RelayProtocol::read(const QString& message, bool ready)
{
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8());
    const QJsonObject json = document.object();
    const QJsonValue code = json.value(QStringLiteral("code"));
    if (!document.isObject() || !isInteger(code))
        return {failure(0, QStringLiteral("unreadable message from the real-time endpoint"))};
    if (code.toInteger() != 0) {
        const QString text = json.value(QStringLiteral("message")).toString().left(kMaxUpstreamMessage);
        return {failure(clientCode(code.toInteger()),
                        QStringLiteral("real-time endpoint error %1: %2").arg(code.toInteger()).arg(text))};
    }

    std::vector<StreamEvent> events;
    if (!ready) {
        events.push_back({StreamEvent::Kind::Ready, {}, 0, {}});
        ready = true;
    }
    if (const QJsonValue result = json.value(QStringLiteral("result")); result.isObject()) {
        const QJsonObject r = result.toObject();
        const QJsonValue text = r.value(QStringLiteral("voice_text_str"));
        const char* const numbers[] = {"slice_type", "index", "start_time", "end_time"};
        for (const char* key : numbers) {
            if (!isInteger(r.value(QLatin1String(key))))
                return {failure(0, QStringLiteral("result without a whole %1").arg(QLatin1String(key)))};
        }
        if (!text.isString())
            return {failure(0, QStringLiteral("result without a text"))};
        StreamEvent segment;
        segment.segment = {r.value(QStringLiteral("slice_type")).toInteger(), r.value(QStringLiteral("index")).toInteger(),
                           r.value(QStringLiteral("start_time")).toInteger(),
                           r.value(QStringLiteral("end_time")).toInteger(), text.toString()};
        events.push_back(segment);
    } else if (!result.isUndefined() && !result.isNull()) {
        return {failure(0, QStringLiteral("result that is not an object"))};
    }
    if (json.value(QStringLiteral("final")).toInteger() == 1)
        events.push_back({StreamEvent::Kind::Finished, {}, 0, {}});
    return events;
}

} // namespace velnor::server::cloud
