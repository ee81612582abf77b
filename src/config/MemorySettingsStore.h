#pragma once

#include "config/SettingsStore.h"

#include <QMap>

namespace velnor {

// Settings kept in memory: tests and the headless simulation.
class MemorySettingsStore final : public SettingsStore {
public:
    std::optional<QString> string(const QString& key) const override
    {
        const auto it = m_values.constFind(key);
        if (it == m_values.constEnd())
            return std::nullopt;
        return it->toString();
    }

    bool boolean(const QString& key) const override { return booleanFrom(m_values.value(key)); }
    void setValue(const QString& key, const QVariant& value) override { m_values.insert(key, value); }
    void remove(const QString& key) override { m_values.remove(key); }

    bool contains(const QString& key) const { return m_values.contains(key); }
    QStringList keys() const { return m_values.keys(); }

private:
    QMap<QString, QVariant> m_values;
};

} // namespace velnor
