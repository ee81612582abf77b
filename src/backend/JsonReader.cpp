#include "backend/JsonReader.h"

#include <cmath>

namespace velnor {

JsonReader::JsonReader(const QJsonValue& json, QString path)
    : m_path(std::move(path))
{
    if (json.isObject())
        m_object = json.toObject();
    else
        m_error = DecodingError{DecodingError::Kind::TypeMismatch, m_path,
                                QStringLiteral("Expected to decode Dictionary<String, Any> but found another value.")};
}

QString JsonReader::childPath(const QString& key) const
{
    return m_path.isEmpty() ? key : m_path + QLatin1Char('.') + key;
}

void JsonReader::fail(DecodingError error)
{
    if (!m_error)
        m_error = std::move(error);
}

void JsonReader::mismatch(const QString& key, const char* expected)
{
    fail(DecodingError{DecodingError::Kind::TypeMismatch, childPath(key),
                       QStringLiteral("Expected to decode %1 but found another value.").arg(QLatin1String(expected))});
}

std::optional<QJsonValue> JsonReader::lookup(const QString& key, bool required)
{
    if (m_error)
        return std::nullopt;
    const auto it = m_object.constFind(key);
    if (it == m_object.constEnd()) {
        if (required)
            fail(DecodingError{DecodingError::Kind::KeyNotFound, childPath(key),
                               QStringLiteral("No value associated with key \"%1\".").arg(key)});
        return std::nullopt;
    }
    if (it.value().isNull()) {
        if (required)
            fail(DecodingError{DecodingError::Kind::ValueNotFound, childPath(key),
                               QStringLiteral("Expected a value for key \"%1\" but found null.").arg(key)});
        return std::nullopt;
    }
    return it.value();
}

std::optional<qint64> JsonReader::toInt(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const QVariant number = value.toVariant();
    if (number.typeId() == QMetaType::LongLong)
        return number.toLongLong();
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<std::uint64_t> JsonReader::toUInt64(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const QVariant number = value.toVariant();
    if (number.typeId() == QMetaType::LongLong) {
        const qint64 n = number.toLongLong();
        if (n < 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(n);
    }
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < 0 || d >= 18446744073709551616.0)
        return std::nullopt;
    return static_cast<std::uint64_t>(d);
}

std::optional<QJsonValue> JsonReader::optionalValue(const QString& key)
{
    return lookup(key, false);
}

std::optional<QString> JsonReader::optionalString(const QString& key)
{
    const auto value = lookup(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        mismatch(key, "String");
        return std::nullopt;
    }
    return value->toString();
}

std::optional<bool> JsonReader::optionalBool(const QString& key)
{
    const auto value = lookup(key, false);
    if (!value)
        return std::nullopt;
    if (!value->isBool()) {
        mismatch(key, "Bool");
        return std::nullopt;
    }
    return value->toBool();
}

std::optional<qint64> JsonReader::optionalInt(const QString& key)
{
    const auto value = lookup(key, false);
    if (!value)
        return std::nullopt;
    const auto number = toInt(*value);
    if (!number)
        mismatch(key, "Int");
    return number;
}

std::optional<std::uint64_t> JsonReader::optionalUInt64(const QString& key)
{
    const auto value = lookup(key, false);
    if (!value)
        return std::nullopt;
    const auto number = toUInt64(*value);
    if (!number)
        mismatch(key, "UInt64");
    return number;
}

QString JsonReader::requiredString(const QString& key)
{
    const auto value = lookup(key, true);
    if (!value)
        return {};
    if (!value->isString()) {
        mismatch(key, "String");
        return {};
    }
    return value->toString();
}

bool JsonReader::requiredBool(const QString& key)
{
    const auto value = lookup(key, true);
    if (!value)
        return false;
    if (!value->isBool()) {
        mismatch(key, "Bool");
        return false;
    }
    return value->toBool();
}

qint64 JsonReader::requiredInt(const QString& key)
{
    const auto value = lookup(key, true);
    if (!value)
        return 0;
    const auto number = toInt(*value);
    if (!number) {
        mismatch(key, "Int");
        return 0;
    }
    return *number;
}

QJsonValue JsonReader::requiredValue(const QString& key)
{
    return lookup(key, true).value_or(QJsonValue());
}

} // namespace velnor
