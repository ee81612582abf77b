#include "config/SettingsStore.h"

namespace velnor {

bool SettingsStore::booleanFrom(const QVariant& value)
{
    if (!value.isValid())
        return false;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    return text == QStringLiteral("true") || text == QStringLiteral("1");
}

} // namespace velnor
