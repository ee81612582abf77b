#include "asr/TencentASRResponse.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace velnor {

namespace {

// Reads one key with the decoder's strict rules; sets *error on failure.
class StrictReader final {
public:
    StrictReader(const QJsonObject& json, QString* error)
        : m_json(json)
        , m_error(error)
    {
    }

    bool failed() const { return m_failed; }

    std::optional<qint64> integer(const char* key, bool required)
    {
        const QJsonValue value = m_json.value(QLatin1String(key));
        if (value.isUndefined() || (!required && value.isNull()))
            return missing(key, required);
        if (!value.isDouble())
            return mismatch<qint64>(key, "integer");
        const double number = value.toDouble();
        if (std::trunc(number) != number || std::abs(number) > 9.0e18)
            return mismatch<qint64>(key, "integer");
        return value.toInteger();
    }

    std::optional<QString> string(const char* key, bool required)
    {
        const QJsonValue value = m_json.value(QLatin1String(key));
        if (value.isUndefined() || (!required && value.isNull()))
            return missing(key, required);
        if (!value.isString())
            return mismatch<QString>(key, "string");
        return value.toString();
    }

    std::optional<QJsonObject> object(const char* key, bool required)
    {
        const QJsonValue value = m_json.value(QLatin1String(key));
        if (value.isUndefined() || (!required && value.isNull()))
            return missing(key, required);
        if (!value.isObject())
            return mismatch<QJsonObject>(key, "object");
        return value.toObject();
    }

    std::optional<QJsonArray> array(const char* key, bool required)
    {
        const QJsonValue value = m_json.value(QLatin1String(key));
        if (value.isUndefined() || (!required && value.isNull()))
            return missing(key, required);
        if (!value.isArray())
            return mismatch<QJsonArray>(key, "array");
        return value.toArray();
    }

    void fail(const QString& reason)
    {
        if (!m_failed && m_error)
            *m_error = reason;
        m_failed = true;
    }

private:
    std::nullopt_t missing(const char* key, bool required)
    {
        if (required)
            fail(QStringLiteral("keyNotFound(\"%1\")").arg(QLatin1String(key)));
        return std::nullopt;
    }

    template <typename T>
    std::optional<T> mismatch(const char* key, const char* expected)
    {
        fail(QStringLiteral("typeMismatch(%1, \"%2\")").arg(QLatin1String(expected), QLatin1String(key)));
        return std::nullopt;
    }

    const QJsonObject& m_json;
    QString* m_error;
    bool m_failed = false;
};

} // namespace

std::optional<TencentASRWord> TencentASRWord::decode(const QJsonObject& json, QString* error)
{
    StrictReader read(json, error);
    TencentASRWord word;
    word.word = read.string("word", true).value_or(QString());
    word.startTime = read.integer("start_time", true).value_or(0);
    word.endTime = read.integer("end_time", true).value_or(0);
    word.stableFlag = read.integer("stable_flag", true).value_or(0);
    if (read.failed())
        return std::nullopt;
    return word;
}

QJsonObject TencentASRWord::toJson() const
{
    return QJsonObject{{QStringLiteral("word"), word},
                       {QStringLiteral("start_time"), startTime},
                       {QStringLiteral("end_time"), endTime},
                       {QStringLiteral("stable_flag"), stableFlag}};
}

std::optional<TencentASRResult> TencentASRResult::decode(const QJsonObject& json, QString* error)
{
    StrictReader read(json, error);
    TencentASRResult result;
    result.sliceType = read.integer("slice_type", true).value_or(0);
    result.index = read.integer("index", true).value_or(0);
    result.startTime = read.integer("start_time", true).value_or(0);
    result.endTime = read.integer("end_time", true).value_or(0);
    result.voiceTextStr = read.string("voice_text_str", true).value_or(QString());
    result.wordSize = read.integer("word_size", true).value_or(0);
    if (auto words = read.array("word_list", false)) {
        QList<TencentASRWord> list;
        for (const QJsonValue& entry : *words) {
            if (!entry.isObject()) {
                read.fail(QStringLiteral("typeMismatch(object, \"word_list\")"));
                break;
            }
            auto word = TencentASRWord::decode(entry.toObject(), error);
            if (!word) {
                read.fail(error ? *error : QString());
                break;
            }
            list.append(*word);
        }
        result.wordList = list;
    }
    if (read.failed())
        return std::nullopt;
    return result;
}

QJsonObject TencentASRResult::toJson() const
{
    QJsonObject json{{QStringLiteral("slice_type"), sliceType},
                     {QStringLiteral("index"), index},
                     {QStringLiteral("start_time"), startTime},
                     {QStringLiteral("end_time"), endTime},
                     {QStringLiteral("voice_text_str"), voiceTextStr},
                     {QStringLiteral("word_size"), wordSize}};
    if (wordList) {
        QJsonArray words;
        for (const TencentASRWord& word : *wordList)
            words.append(word.toJson());
        json.insert(QStringLiteral("word_list"), words);
    }
    return json;
}

std::optional<TencentASRResponse> TencentASRResponse::decode(const QJsonObject& json, QString* error)
{
    StrictReader read(json, error);
    TencentASRResponse response;
    response.code = read.integer("code", true).value_or(0);
    response.message = read.string("message", false);
    response.voiceId = read.string("voice_id", false);
    response.messageId = read.string("message_id", false);
    if (auto result = read.object("result", false)) {
        response.result = TencentASRResult::decode(*result, error);
        if (!response.result)
            read.fail(error ? *error : QString());
    }
    response.final = read.integer("final", false);
    if (read.failed())
        return std::nullopt;
    return response;
}

std::optional<TencentASRResponse> TencentASRResponse::decode(const QByteArray& utf8, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("dataCorrupted(%1 at offset %2)").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("typeMismatch(object, \"\")");
        return std::nullopt;
    }
    return decode(document.object(), error);
}

QJsonObject TencentASRResponse::toJson() const
{
    QJsonObject json{{QStringLiteral("code"), code}};
    if (message)
        json.insert(QStringLiteral("message"), *message);
    if (voiceId)
        json.insert(QStringLiteral("voice_id"), *voiceId);
    if (messageId)
        json.insert(QStringLiteral("message_id"), *messageId);
    if (result)
        json.insert(QStringLiteral("result"), result->toJson());
    if (final)
        json.insert(QStringLiteral("final"), *final);
    return json;
}

QString sliceTypeName(qint64 sliceType)
{
    switch (sliceType) {
    case 0:
        return QStringLiteral("开始识别");
    case 1:
        return QStringLiteral("识别中");
    case 2:
        return QStringLiteral("识别结束");
    default:
        return QStringLiteral("未知");
    }
}

} // namespace velnor
