#pragma once

#include "core/Clock.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "platform/AudioFormat.h"

#include <QStringList>

#include <cstring>
#include <ostream>
#include <mutex>
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
    std::mutex m_mutex;
    QStringList m_logLines;
    QStringList m_printed;

public:
    CapturedOutput()
        : logger(QString(), clock, [this](const QString& line) { append(m_logLines, line); }, redactor)
    {
    }

    ConsoleSink printer()
    {
        return [this](const QString& line) { append(m_printed, line); };
    }

    QStringList logLines()
    {
        logger.flush();
        const std::lock_guard lock(m_mutex);
        return m_logLines;
    }

    QStringList printed()
    {
        const std::lock_guard lock(m_mutex);
        return m_printed;
    }

    // The log lines containing `text`.
    QStringList logged(const QString& text) { return logLines().filter(text); }

    ManualClock clock;
    SecretRedactor redactor;
    Logger logger;

private:
    void append(QStringList& list, const QString& line)
    {
        const std::lock_guard lock(m_mutex);
        list.append(line);
    }
};

inline AudioBuffer floatBuffer(const std::vector<float>& interleaved, int channels, int rate = 48000)
{
    AudioBuffer buffer;
    buffer.format = AudioFormat{rate, channels, SampleType::Float32, true};
    buffer.data.resize(qsizetype(interleaved.size() * sizeof(float)));
    std::memcpy(buffer.data.data(), interleaved.data(), interleaved.size() * sizeof(float));
    return buffer;
}

} // namespace velnor::test
