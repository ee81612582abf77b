#pragma once

#include <QList>
#include <QString>

namespace velnor {

class Logger;

// One output language of the menu and the settings screen.
struct LanguageConfig {
    QString code;
    QString title;
    QString icon;
    QString description;
    QString action;
    bool separatorAfter = false;

    bool operator==(const LanguageConfig&) const = default;
};

// The output languages, read from the "LanguageConfig" property list.
class LanguageConfigManager final {
public:
    LanguageConfigManager(Logger& log, QString resourcePath);

    void loadLanguageConfig();
    const QList<LanguageConfig>& languages() const { return m_languages; }

private:
    Logger& m_log;
    QString m_resourcePath;
    QList<LanguageConfig> m_languages;
};

} // namespace velnor
