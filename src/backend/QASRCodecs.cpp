#include "backend/QASRCodecs.h"

namespace velnor {

Result<AdjustTextResponse, DecodingError> JsonCodec<AdjustTextResponse>::decode(const QJsonValue& json,
                                                                                 const QString& path)
{
    JsonReader reader(json, path);
    AdjustTextResponse response;
    response.id = reader.optionalString(QStringLiteral("id"));
    response.text = reader.optionalString(QStringLiteral("text"));
    response.message = reader.optionalString(QStringLiteral("message"));
    return finishRecord(reader, std::move(response));
}

QString JsonCodec<AdjustTextResponse>::printed(const AdjustTextResponse& value)
{
    return QStringLiteral("AdjustTextResponse(id: %1, text: %2, message: %3)")
        .arg(printedOptional(value.id), printedOptional(value.text), printedOptional(value.message));
}

Result<RecognizeAudioFileResponse, DecodingError>
JsonCodec<RecognizeAudioFileResponse>::decode(const QJsonValue& json, const QString& path)
{
    JsonReader reader(json, path);
    RecognizeAudioFileResponse response;
    response.text = reader.optionalString(QStringLiteral("text"));
    response.message = reader.optionalString(QStringLiteral("message"));
    response.id = reader.optionalString(QStringLiteral("id"));
    response.overOver = reader.optionalBool(QStringLiteral("over_over"));
    return finishRecord(reader, std::move(response));
}

QString JsonCodec<RecognizeAudioFileResponse>::printed(const RecognizeAudioFileResponse& value)
{
    return QStringLiteral("RecognizeAudioFileResponse(text: %1, message: %2, id: %3, over_over: %4)")
        .arg(printedOptional(value.text), printedOptional(value.message), printedOptional(value.id),
             printedOptional(value.overOver));
}

} // namespace velnor
