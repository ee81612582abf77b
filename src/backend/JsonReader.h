#pragma once

#include "backend/DecodingError.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>

namespace velnor {

// Reads one JSON object by keys with the usual rules of typed decoding: an
// optional key may be absent or null, but a present value of the wrong type
// fails the whole record; a required key must be there. The first failure is
// kept and every later read returns none.
class JsonReader final {
public:
    // Fails at once (type mismatch) when `json` is not an object.
    JsonReader(const QJsonValue& json, QString path);

    bool ok() const { return !m_error.has_value(); }
    const std::optional<DecodingError>& error() const { return m_error; }
    const QString& path() const { return m_path; }

    std::optional<QString> optionalString(const QString& key);
    std::optional<bool> optionalBool(const QString& key);
    std::optional<qint64> optionalInt(const QString& key);
    std::optional<std::uint64_t> optionalUInt64(const QString& key);
    std::optional<QJsonValue> optionalValue(const QString& key); // non-null values only

    QString requiredString(const QString& key);
    bool requiredBool(const QString& key);
    qint64 requiredInt(const QString& key);
    QJsonValue requiredValue(const QString& key);

    // Records a failure found by a nested decoder.
    void fail(DecodingError error);

    QString childPath(const QString& key) const;

    // Scalar conversions shared with other decoders.
    static std::optional<qint64> toInt(const QJsonValue& value);
    static std::optional<std::uint64_t> toUInt64(const QJsonValue& value);

private:
    std::optional<QJsonValue> lookup(const QString& key, bool required);
    void mismatch(const QString& key, const char* expected);

    QJsonObject m_object;
    QString m_path;
    std::optional<DecodingError> m_error;
};

} // namespace velnor
