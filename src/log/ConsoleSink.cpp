#include "log/ConsoleSink.h"

#include <cstdio>

namespace velnor {

ConsoleSink standardOutputSink()
{
    return [](const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        std::fflush(stdout);
    };
}

ConsoleSink silentSink()
{
    return [](const QString&) {};
}

} // namespace velnor
