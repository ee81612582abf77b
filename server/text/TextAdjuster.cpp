#include "text/TextAdjuster.h"

#include <algorithm>

namespace velnor::server {

namespace {

bool isUnspacedScript(char32_t codePoint)
{
    const QChar::Script script = QChar::script(codePoint);
    return script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana;
}

QString alternativeFor(const QString& hotWord)
{
    const QList<uint> codePoints = hotWord.toUcs4();
    QStringList words;
    for (const QString& word : hotWord.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words << QRegularExpression::escape(word);
    QString pattern = words.join(QStringLiteral("\\s+"));
    // A word character of a script written with spaces between words.
    const QString spacedWordChar = QStringLiteral("(?![\\p{Han}\\p{Hiragana}\\p{Katakana}])[\\p{L}\\p{N}\\p{M}_]");
    if (!isUnspacedScript(codePoints.first()))
        pattern.prepend(QStringLiteral("(?<!%1)").arg(spacedWordChar));
    if (!isUnspacedScript(codePoints.last()))
        pattern.append(QStringLiteral("(?!%1)").arg(spacedWordChar));
    return QLatin1Char('(') + pattern + QLatin1Char(')');
}

} // namespace

TextAdjuster::TextAdjuster(const QList<HotWord>& hotWords)
{
    QList<QString> texts;
    for (const HotWord& word : hotWords) {
        const QString text = word.text.simplified();
        if (!text.isEmpty() && !texts.contains(text))
            texts << text;
    }
    std::stable_sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    QStringList alternatives;
    for (const QString& text : texts) {
        alternatives << alternativeFor(text);
        m_replacements << text;
    }
    if (!alternatives.isEmpty())
        m_pattern = QRegularExpression(alternatives.join(QLatin1Char('|')),
                                       QRegularExpression::CaseInsensitiveOption
                                           | QRegularExpression::UseUnicodePropertiesOption);
}

QString TextAdjuster::adjust(const QString& text) const
{
    const QString input = text.simplified();
    if (m_replacements.isEmpty() || !m_pattern.isValid())
        return input;
    QString output;
    qsizetype done = 0;
    QRegularExpressionMatchIterator matches = m_pattern.globalMatch(input);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        for (int group = 1; group <= m_replacements.size(); ++group) {
            if (match.capturedStart(group) < 0)
                continue;
            output += QStringView(input).mid(done, match.capturedStart(0) - done);
            output += m_replacements[group - 1];
            done = match.capturedEnd(0);
            break;
        }
    }
    output += QStringView(input).mid(done);
    return output;
}

} // namespace velnor::server
