#pragma once

#include "core/Clock.h"
#include "log/ConsoleSink.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"

#include <QStringList>

#include <mutex>

namespace velnor::test {

// Collects console lines from any thread.
class LineCollector final {
public:
    ConsoleSink sink()
    {
        return [this](const QString& line) {
            std::lock_guard lock(m_mutex);
            m_lines.append(line);
        };
    }

    QStringList lines() const
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_lines.clear();
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

// An application log that writes only to memory (already redacted), with
// lookups by message; on its own manual clock unless given one.
class LogCapture final {
public:
    LogCapture()
        : LogCapture(m_ownClock)
    {
    }
    explicit LogCapture(const Clock& clock)
        : m_logger(QString(), clock, m_collector.sink(), m_redactor)
    {
    }

    Logger& logger() { return m_logger; }
    SecretRedactor& redactor() { return m_redactor; }

    // Messages (the text after " - ") in order, once everything is written.
    QStringList messages()
    {
        m_logger.flush();
        QStringList result;
        for (const QString& line : m_collector.lines()) {
            const qsizetype at = line.indexOf(QStringLiteral(" - "));
            result.append(at < 0 ? line : line.mid(at + 3));
        }
        return result;
    }

    // Whole lines including level, e.g. "[WARNING]".
    QStringList lines()
    {
        m_logger.flush();
        return m_collector.lines();
    }

    bool contains(const QString& message) { return messages().contains(message); }
    // All lines as one text, and whether it contains `part` anywhere.
    QString text() { return lines().join(QLatin1Char('\n')); }
    bool mentions(const QString& part) { return text().contains(part); }

    // Messages starting with a prefix.
    QStringList startingWith(const QString& prefix)
    {
        QStringList result;
        for (const QString& message : messages()) {
            if (message.startsWith(prefix))
                result.append(message);
        }
        return result;
    }

    // The level of the first line whose message equals `message`, e.g. "WARNING".
    QString levelOf(const QString& message)
    {
        for (const QString& line : lines()) {
            if (line.endsWith(QStringLiteral(" - ") + message)) {
                const qsizetype open = line.indexOf(QStringLiteral(" ["));
                const qsizetype close = line.indexOf(QLatin1Char(']'), open);
                return line.mid(open + 2, close - open - 2);
            }
        }
        return {};
    }

    void clear()
    {
        m_logger.flush();
        m_collector.clear();
    }

    // A print sink that keeps what the code under test printed.
    ConsoleSink printSink() { return m_printed.sink(); }
    QStringList printed() const { return m_printed.lines(); }

private:
    ManualClock m_ownClock;
    LineCollector m_collector;
    LineCollector m_printed;
    SecretRedactor m_redactor;
    Logger m_logger;
};

} // namespace velnor::test
