#include "backend/AnyDecodable.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace velnor {

namespace {

// 2^63: the first double that no longer fits a qint64.
constexpr double kInt64Limit = 9223372036854775808.0;

std::optional<QVariant> plain(const QJsonValue& json)
{
    switch (json.type()) {
    case QJsonValue::Null:
        return QVariant::fromValue(nullptr);
    case QJsonValue::Bool:
        return QVariant(json.toBool());
    case QJsonValue::Double: {
        const QVariant number = json.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return QVariant(number.toLongLong());
        const double d = json.toDouble();
        if (std::isfinite(d) && std::trunc(d) == d && d >= -kInt64Limit && d < kInt64Limit)
            return QVariant(static_cast<qint64>(d));
        return QVariant(d);
    }
    case QJsonValue::String:
        return QVariant(json.toString());
    case QJsonValue::Array: {
        QVariantList list;
        for (const QJsonValue& element : json.toArray()) {
            auto value = plain(element);
            if (!value)
                return std::nullopt;
            list.append(*value);
        }
        return QVariant(list);
    }
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject object = json.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            auto value = plain(it.value());
            if (!value)
                return std::nullopt;
            map.insert(it.key(), *value);
        }
        return QVariant(map);
    }
    case QJsonValue::Undefined:
        break;
    }
    return std::nullopt;
}

} // namespace

Result<AnyDecodable, DecodingError> AnyDecodable::decode(const QJsonValue& json)
{
    auto value = plain(json);
    if (!value)
        return Result<AnyDecodable, DecodingError>::failure(
            DecodingError{DecodingError::Kind::DataCorrupted, {}, QStringLiteral("无法解码值")});
    return Result<AnyDecodable, DecodingError>::success(AnyDecodable(std::move(*value)));
}

bool AnyDecodable::isNull(const QVariant& value)
{
    return value.typeId() == QMetaType::Nullptr || !value.isValid();
}

QString AnyDecodable::typeName(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QStringLiteral("Bool");
    case QMetaType::LongLong:
        return QStringLiteral("Int");
    case QMetaType::Double:
        return QStringLiteral("Double");
    case QMetaType::QString:
        return QStringLiteral("String");
    case QMetaType::QVariantList:
        return QStringLiteral("Array<Any>");
    case QMetaType::QVariantMap:
        return QStringLiteral("Dictionary<String, Any>");
    default:
        return QStringLiteral("Null");
    }
}

QString AnyDecodable::printed(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QString:
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant& element : value.toList())
            parts.append(printed(element));
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        if (map.isEmpty())
            return QStringLiteral("[:]");
        QStringList parts;
        for (auto it = map.begin(); it != map.end(); ++it)
            parts.append(QLatin1Char('"') + it.key() + QStringLiteral("\": ") + printed(it.value()));
        return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    default:
        return QStringLiteral("<null>");
    }
}

QJsonValue AnyDecodable::toJson(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QJsonValue(value.toBool());
    case QMetaType::LongLong:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
        return QJsonValue(value.toDouble());
    case QMetaType::QString:
        return QJsonValue(value.toString());
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant& element : value.toList())
            array.append(toJson(element));
        return array;
    }
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    default:
        return QJsonValue(QJsonValue::Null);
    }
}

} // namespace velnor
