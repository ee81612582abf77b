#include "backend/TokenRedaction.h"

#include <QRegularExpression>

namespace velnor {

QString redactTokenValues(const QString& text)
{
    static const QRegularExpression tokenValue(
        QStringLiteral("(\"(?:token|jwt|access_token|refresh_token)\"\\s*:\\s*\")(?:[^\"\\\\]|\\\\.)*(\")"),
        QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    result.replace(tokenValue, QStringLiteral("\\1<redacted>\\2"));
    return result;
}

} // namespace velnor
