#pragma once

#include "config/SettingsStore.h"

#include <QSettings>

namespace velnor {

// The store over an INI file (Linux: $XDG_CONFIG_HOME/velnor/velnor.conf).
// QSettings writes through a temporary file and a rename, and every write is
// synced at once, so a crash leaves either the old or the new file whole.
class QSettingsStore final : public SettingsStore {
public:
    explicit QSettingsStore(const QString& filePath);

    std::optional<QString> string(const QString& key) const override;
    bool boolean(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

    QString filePath() const { return m_settings.fileName(); }
    // False when the last sync could not write the file.
    bool lastWriteSucceeded() const { return m_settings.status() == QSettings::NoError; }

private:
    mutable QSettings m_settings;
};

} // namespace velnor
