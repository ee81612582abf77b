#pragma once

#include "backend/DecodingError.h"
#include "backend/JsonReader.h"
#include "core/Result.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace velnor {

// How a type of the envelope's "data" is read from JSON. The codec of each type
// gives:
//   static QString typeName();
//   static Result<T, DecodingError> decode(const QJsonValue& json, const QString& path);
//   static QString printed(const T& value);
//   static std::optional<T> fromPlain(const QVariant& value); // the value already is a T
template <typename T>
struct JsonCodec;

template <>
struct JsonCodec<bool> {
    static QString typeName() { return QStringLiteral("Bool"); }
    static Result<bool, DecodingError> decode(const QJsonValue& json, const QString& path)
    {
        if (json.isBool())
            return Result<bool, DecodingError>::success(json.toBool());
        return Result<bool, DecodingError>::failure(DecodingError{
            DecodingError::Kind::TypeMismatch, path, QStringLiteral("Expected to decode Bool but found another value.")});
    }
    static QString printed(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }
    static std::optional<bool> fromPlain(const QVariant& value)
    {
        if (value.typeId() == QMetaType::Bool)
            return value.toBool();
        return std::nullopt;
    }
};

template <>
struct JsonCodec<QString> {
    static QString typeName() { return QStringLiteral("String"); }
    static Result<QString, DecodingError> decode(const QJsonValue& json, const QString& path)
    {
        if (json.isString())
            return Result<QString, DecodingError>::success(json.toString());
        return Result<QString, DecodingError>::failure(DecodingError{
            DecodingError::Kind::TypeMismatch, path, QStringLiteral("Expected to decode String but found another value.")});
    }
    static QString printed(const QString& value) { return QLatin1Char('"') + value + QLatin1Char('"'); }
    static std::optional<QString> fromPlain(const QVariant& value)
    {
        if (value.typeId() == QMetaType::QString)
            return value.toString();
        return std::nullopt;
    }
};

template <typename T>
struct JsonCodec<QList<T>> {
    static QString typeName() { return QStringLiteral("Array<") + JsonCodec<T>::typeName() + QLatin1Char('>'); }
    static Result<QList<T>, DecodingError> decode(const QJsonValue& json, const QString& path)
    {
        using R = Result<QList<T>, DecodingError>;
        if (!json.isArray())
            return R::failure(DecodingError{DecodingError::Kind::TypeMismatch, path,
                                            QStringLiteral("Expected to decode Array<Any> but found another value.")});
        QList<T> list;
        const QJsonArray array = json.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            auto element = JsonCodec<T>::decode(array.at(i), path + QStringLiteral("[%1]").arg(i));
            if (!element)
                return R::failure(element.error());
            list.append(std::move(element.value()));
        }
        return R::success(std::move(list));
    }
    static QString printed(const QList<T>& list)
    {
        QStringList parts;
        for (const T& element : list)
            parts.append(JsonCodec<T>::printed(element));
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    static std::optional<QList<T>> fromPlain(const QVariant&) { return std::nullopt; }
};

// Renders optional fields the way the logs show records: Optional("x") or nil.
QString printedOptional(const std::optional<QString>& value);
QString printedOptional(const std::optional<bool>& value);
QString printedOptional(const std::optional<std::uint64_t>& value);
// "nil" for an absent value, the value itself otherwise (argument logs).
QString valueOrNil(const std::optional<QString>& value);

// Finishes a record decoded through a JsonReader.
template <typename T>
Result<T, DecodingError> finishRecord(const JsonReader& reader, T value)
{
    if (!reader.ok())
        return Result<T, DecodingError>::failure(*reader.error());
    return Result<T, DecodingError>::success(std::move(value));
}

} // namespace velnor
