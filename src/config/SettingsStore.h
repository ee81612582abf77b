#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace velnor {

// The flat key-value store of the user's settings. Every reader asks at the
// moment it needs a value, so a change takes effect at the next read.
class SettingsStore {
public:
    SettingsStore() = default;
    virtual ~SettingsStore() = default;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // An absent key yields none.
    virtual std::optional<QString> string(const QString& key) const = 0;
    // An absent key yields false.
    virtual bool boolean(const QString& key) const = 0;
    // The one write routine: a string or a boolean.
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;

    void setString(const QString& key, const QString& value) { setValue(key, value); }
    void setBool(const QString& key, bool value) { setValue(key, value); }
    QString stringOr(const QString& key, const QString& fallback) const { return string(key).value_or(fallback); }

    // The one rule every store applies when a stored value is read as a
    // boolean: a real boolean as it is; text (an INI file keeps nothing else)
    // is true only for "true" or "1", in any case and without surrounding blanks.
    static bool booleanFrom(const QVariant& value);
};

} // namespace velnor
