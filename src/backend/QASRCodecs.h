#pragma once

#include "backend/JsonCodec.h"
#include "backend/QASRTypes.h"

namespace velnor {

template <>
struct JsonCodec<AdjustTextResponse> {
    static QString typeName() { return QStringLiteral("AdjustTextResponse"); }
    static Result<AdjustTextResponse, DecodingError> decode(const QJsonValue& json, const QString& path);
    static QString printed(const AdjustTextResponse& value);
    static std::optional<AdjustTextResponse> fromPlain(const QVariant&) { return std::nullopt; }
};

template <>
struct JsonCodec<RecognizeAudioFileResponse> {
    static QString typeName() { return QStringLiteral("RecognizeAudioFileResponse"); }
    static Result<RecognizeAudioFileResponse, DecodingError> decode(const QJsonValue& json, const QString& path);
    static QString printed(const RecognizeAudioFileResponse& value);
    static std::optional<RecognizeAudioFileResponse> fromPlain(const QVariant&) { return std::nullopt; }
};

} // namespace velnor
