#include "http/LogSafety.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace velnor::server {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

void writeEscaped(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line = qFormatLogMessage(type, context, escapeControlCharacters(message));
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

QString escapeControlCharacters(QStringView text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (!isControl(code)) {
            escaped.append(c);
            continue;
        }
        switch (code) {
        case u'\n': escaped.append(QLatin1String("\\n")); break;
        case u'\r': escaped.append(QLatin1String("\\r")); break;
        case u'\t': escaped.append(QLatin1String("\\t")); break;
        default:
            escaped.append(code > 0xff ? QStringLiteral("\\u%1").arg(uint(code), 4, 16, QLatin1Char('0'))
                                       : QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0')));
        }
    }
    return escaped;
}

void installEscapingMessageHandler()
{
    qInstallMessageHandler(writeEscaped);
}

} // namespace velnor::server
