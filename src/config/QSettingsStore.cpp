#include "config/QSettingsStore.h"

namespace velnor {

QSettingsStore::QSettingsStore(const QString& filePath)
    : m_settings(filePath, QSettings::IniFormat)
{
    m_settings.setAtomicSyncRequired(true);
}

std::optional<QString> QSettingsStore::string(const QString& key) const
{
    const QVariant value = m_settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

bool QSettingsStore::boolean(const QString& key) const
{
    return booleanFrom(m_settings.value(key));
}

void QSettingsStore::setValue(const QString& key, const QVariant& value)
{
    m_settings.setValue(key, value);
    m_settings.sync();
}

void QSettingsStore::remove(const QString& key)
{
    m_settings.remove(key);
    m_settings.sync();
}

} // namespace velnor
