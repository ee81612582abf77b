#include "text/TranscriptRules.h"

#include <QRegularExpression>

namespace velnor::server {

TranscriptRules::Ending TranscriptRules::stripOverOver(const QString& text)
{
    static const QRegularExpression ending(
        QStringLiteral("(?<![\\p{L}\\p{N}\\p{M}_])over[\\s\\p{P}]+over[\\s\\p{P}]*\\z"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    // "\z", not "$": "$" also matches before a final newline.
    // What led into the ending ("send it, over over") is no sentence end: drop it too.
    static const QRegularExpression lead(QStringLiteral("[\\s,;:\\x{3001}\\x{FF0C}\\x{FF1B}\\x{FF1A}]+\\z"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = ending.match(text);
    if (!match.hasMatch())
        return {text, false};
    return {text.left(match.capturedStart(0)).remove(lead), true};
}

qint64 TranscriptRules::wordCount(const QString& text)
{
    qint64 words = 0;
    bool inWord = false;
    for (const uint codePoint : text.toUcs4()) {
        const QChar::Script script = QChar::script(codePoint);
        if (script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana) {
            ++words;
            inWord = false;
        } else if (QChar::isLetterOrNumber(codePoint) || QChar::isMark(codePoint) || codePoint == '\'') {
            if (!inWord)
                ++words;
            inWord = true;
        } else {
            inWord = false;
        }
    }
    return words;
}

} // namespace velnor::server
