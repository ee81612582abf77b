#pragma once

#include "backend/JsonCodec.h"

#include <QString>
#include <QUuid>

namespace velnor {

// A hot word as the backend stores it.
struct Hotword {
    QString text;
    qint64 weight = 0;
};

// A hot word in the local cache; the id is local only and survives refreshes.
struct HotWord {
    QUuid id;
    QString text;
    double weight = 0;
};

template <>
struct JsonCodec<Hotword> {
    static QString typeName() { return QStringLiteral("Hotword"); }
    static Result<Hotword, DecodingError> decode(const QJsonValue& json, const QString& path)
    {
        JsonReader reader(json, path);
        Hotword hotword;
        hotword.text = reader.requiredString(QStringLiteral("text"));
        hotword.weight = reader.requiredInt(QStringLiteral("weight"));
        return finishRecord(reader, std::move(hotword));
    }
    static QString printed(const Hotword& value)
    {
        return QStringLiteral("Hotword(text: \"%1\", weight: %2)").arg(value.text).arg(value.weight);
    }
    static std::optional<Hotword> fromPlain(const QVariant&) { return std::nullopt; }
};

} // namespace velnor
