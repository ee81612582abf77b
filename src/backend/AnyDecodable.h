#pragma once

#include "backend/DecodingError.h"
#include "core/Result.h"

#include <QJsonValue>
#include <QVariant>

namespace velnor {

// One JSON value held as a plain dynamic value: null (a null marker), bool,
// qint64, double, QString, QVariantList or QVariantMap. Kinds are tried in
// that order, so an integral number is an integer and 1 is never a boolean.
class AnyDecodable final {
public:
    static Result<AnyDecodable, DecodingError> decode(const QJsonValue& json);

    const QVariant& value() const { return m_value; }

    static bool isNull(const QVariant& value);
    // The dynamic type's name as the logs show it ("Bool", "Int", …).
    static QString typeName(const QVariant& value);
    // A readable rendering for logs: strings quoted, lists in [ ], maps in [k: v].
    static QString printed(const QVariant& value);
    // The plain value back as JSON (null marker → null).
    static QJsonValue toJson(const QVariant& value);

private:
    explicit AnyDecodable(QVariant value)
        : m_value(std::move(value))
    {
    }

    QVariant m_value;
};

} // namespace velnor
