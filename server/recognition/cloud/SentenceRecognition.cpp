#include "recognition/cloud/SentenceRecognition.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <bit>

namespace velnor::server::cloud {

namespace {

constexpr qsizetype kMaxVendorMessage = 200;

FileRecognition failed(const QString& why)
{
    return FileRecognition::failed(QStringLiteral("cloud recogniser: ") + why);
}

} // namespace

QString SentenceRecognition::engineModel(const QString& language)
{
    static const QRegularExpression tag(QStringLiteral("^[a-z]{2,3}(_[a-z]+)?$"));
    const QString lower = language.trimmed().toLower();
    return QStringLiteral("16k_") + (tag.match(lower).hasMatch() ? lower : QStringLiteral("zh"));
}

QString SentenceRecognition::hotWordList(const QStringList& hotWords)
{
    QStringList items;
    for (const QString& word : hotWords.mid(0, kMaxHotWords)) {
        const QString text = word.trimmed().left(kMaxHotWordLength);
        if (text.isEmpty() || text.contains(QLatin1Char('|')) || text.contains(QLatin1Char(',')))
            continue;
        items.append(text + QLatin1Char('|') + QString::number(kHotWordWeight));
    }
    return items.join(QLatin1Char(','));
}

QByteArray SentenceRecognition::requestBody(std::span<const std::int16_t> samples, const RecognitionContext& context)
{
    // Little-endian 16-bit PCM, as the samples already are in memory on the
    // machines this runs on.
    static_assert(std::endian::native == std::endian::little);
    const QByteArray pcm(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size_bytes()));
    QJsonObject request{
        {QStringLiteral("EngSerViceType"), engineModel(context.language)},
        {QStringLiteral("SourceType"), 1},
        {QStringLiteral("VoiceFormat"), QStringLiteral("pcm")},
        {QStringLiteral("Data"), QString::fromLatin1(pcm.toBase64())},
        {QStringLiteral("DataLen"), pcm.size()},
    };
    if (const QString hotWords = hotWordList(context.hotWords); !hotWords.isEmpty())
        request.insert(QStringLiteral("HotwordList"), hotWords);
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

FileRecognition SentenceRecognition::readAnswer(int httpStatus, const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    const QJsonValue response = document.object().value(QStringLiteral("Response"));
    if (parseError.error != QJsonParseError::NoError || !response.isObject())
        return failed(QStringLiteral("unreadable answer (HTTP %1, %2 bytes)").arg(httpStatus).arg(body.size()));
    const QJsonObject answer = response.toObject();
    if (const QJsonValue error = answer.value(QStringLiteral("Error")); !error.isUndefined()) {
        const QString code = error.toObject().value(QStringLiteral("Code")).toString();
        const QString message = error.toObject().value(QStringLiteral("Message")).toString().left(kMaxVendorMessage);
        return failed(QStringLiteral("refused with %1: %2")
                          .arg(code.isEmpty() ? QStringLiteral("an unnamed error") : code, message));
    }
    const QJsonValue result = answer.value(QStringLiteral("Result"));
    if (httpStatus != 200 || !result.isString())
        return failed(QStringLiteral("answer without a result (HTTP %1)").arg(httpStatus));
    return FileRecognition::heard(result.toString());
}

} // namespace velnor::server::cloud
