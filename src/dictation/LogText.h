#pragma once

#include "platform/FrontAppInfo.h"

#include <QMap>
#include <QString>

#include <optional>

namespace velnor::logtext {

// "true" / "false" as the log lines print flags.
inline QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// An optional value, or the given placeholder when absent.
inline QString orPlaceholder(const std::optional<QString>& value, const QString& placeholder)
{
    return value ? *value : placeholder;
}

// "未知" for unknown parts of the front application.
inline QString unknownIfAbsent(const std::optional<QString>& value)
{
    return orPlaceholder(value, QStringLiteral("未知"));
}

// A string map as the log lines show it: ["key": "value", …], keys sorted.
inline QString describeMap(const QMap<QString, QString>& map)
{
    if (map.isEmpty())
        return QStringLiteral("[:]");
    QStringList entries;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        entries.append(QStringLiteral("\"%1\": \"%2\"").arg(it.key(), it.value()));
    return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
}

} // namespace velnor::logtext
