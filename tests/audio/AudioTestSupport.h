#pragma once

#include "core/Clock.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "platform/AudioFormat.h"
#include "support/LogCapture.h"

#include <QStringList>

#include <cstring>
#include <ostream>
#include <vector>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace velnor::test {

// Collects what a component logs and prints, readable from the test thread.
class CapturedOutput final {
    // First: the logger drains into these when it is destroyed.
    LineCollector m_logLines;
    LineCollector m_printed;

public:
    CapturedOutput()
        : logger(QString(), clock, m_logLines.sink(), redactor)
    {
    }

    ConsoleSink printer() { return m_printed.sink(); }

    QStringList logLines()
    {
        logger.flush();
        return m_logLines.lines();
    }

    QStringList printed() const { return m_printed.lines(); }

    // The log lines containing `text`.
    QStringList logged(const QString& text) { return logLines().filter(text); }

    ManualClock clock;
    SecretRedactor redactor;
    Logger logger;
};

inline AudioBuffer floatBuffer(const std::vector<float>& interleaved, int channels, int rate = 48000)
{
    AudioBuffer buffer;
    buffer.format = AudioFormat{rate, channels, SampleType::Float32, true};
    buffer.data.resize(qsizetype(interleaved.size() * sizeof(float)));
    if (!interleaved.empty()) // memcpy from an empty vector's null pointer is undefined
        std::memcpy(buffer.data.data(), interleaved.data(), interleaved.size() * sizeof(float));
    return buffer;
}

} // namespace velnor::test
