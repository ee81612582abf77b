#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace velnor {

class Logger;

// The recognition voice types offered to the user, read from "qasr.json".
class LanguageManager final {
public:
    using VoiceType = std::pair<QString, QString>; // (value, display name)

    LanguageManager(Logger& log, QString resourcePath);

    void loadLanguages();
    const QList<VoiceType>& languages() const { return m_languages; }

private:
    Logger& m_log;
    QString m_resourcePath;
    QList<VoiceType> m_languages;
};

} // namespace velnor
