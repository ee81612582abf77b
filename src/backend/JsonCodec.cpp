#include "backend/JsonCodec.h"

namespace velnor {

QString printedOptional(const std::optional<QString>& value)
{
    return value ? QStringLiteral("Optional(\"") + *value + QStringLiteral("\")") : QStringLiteral("nil");
}

QString printedOptional(const std::optional<bool>& value)
{
    if (!value)
        return QStringLiteral("nil");
    return *value ? QStringLiteral("Optional(true)") : QStringLiteral("Optional(false)");
}

QString printedOptional(const std::optional<std::uint64_t>& value)
{
    return value ? QStringLiteral("Optional(") + QString::number(*value) + QLatin1Char(')') : QStringLiteral("nil");
}

QString valueOrNil(const std::optional<QString>& value)
{
    return value ? *value : QStringLiteral("nil");
}

} // namespace velnor
