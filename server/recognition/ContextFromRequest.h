#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// What a recognition is told about a request: its language and hot words, as
// clients send them.

namespace velnor::server {

// The language part of a language tag ("zh-CN", "en_US", "zh" → "zh"); "" when
// it names none, so the recogniser uses its own default.
inline QString languageOfTag(const QString& tag)
{
    static const QRegularExpression language(QStringLiteral("^([a-z]{2,3})(?:[-_].*)?$"));
    const QRegularExpressionMatch match = language.match(tag.trimmed().toLower());
    return match.hasMatch() ? match.captured(1) : QString();
}

// The language of a real-time engine model ("16k_zh" → "zh", "16k_en" → "en",
// "16k_zh_dialect" → "zh"); "" for a model that names none.
inline QString languageOfEngineModel(const QString& engineModel)
{
    const qsizetype underscore = engineModel.indexOf(QLatin1Char('_'));
    return underscore < 0 ? QString() : languageOfTag(engineModel.mid(underscore + 1));
}

// The hot words of a real-time URL's "hotword_list" ("word|weight,word|weight").
inline QStringList hotWordsOfList(const QString& list)
{
    QStringList words;
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString word = item.section(QLatin1Char('|'), 0, 0).trimmed();
        if (!word.isEmpty())
            words << word;
    }
    return words;
}

} // namespace velnor::server
