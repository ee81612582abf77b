#pragma once

#include "hotwords/HotWordStore.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace velnor::server {

// Corrects a transcript with the user's hot words: wherever the transcript's
// words match a hot word case-insensitively, the hot word's own spelling
// replaces them. Longer hot words win over shorter ones; a match never
// starts or ends inside a word (except in Han and kana text, which has no
// spaces between words). White space is trimmed and collapsed.
class TextAdjuster final {
public:
    explicit TextAdjuster(const QList<HotWord>& hotWords);

    QString adjust(const QString& text) const;

private:
    QList<QString> m_replacements;   // by capture group, from 1
    QRegularExpression m_pattern;
};

} // namespace velnor::server
