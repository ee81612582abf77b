#pragma once

#include "core/Clock.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"

#include <QStringList>

#include <memory>
#include <mutex>

namespace velnor::test {

// A console-only Logger whose lines (already redacted) the test can read.
class LogCapture final {
public:
    LogCapture()
        : m_lines(std::make_shared<Lines>())
        , m_logger(QString(), m_clock, [lines = m_lines](const QString& line) { lines->add(line); }, m_redactor)
    {
    }

    Logger& logger() { return m_logger; }
    SecretRedactor& redactor() { return m_redactor; }

    QStringList lines()
    {
        m_logger.flush();
        return m_lines->all();
    }
    QString text() { return lines().join(QLatin1Char('\n')); }
    // The messages (after " - ") of every line, in order.
    QStringList messages()
    {
        QStringList result;
        for (const QString& line : lines())
            result.append(line.mid(line.indexOf(QStringLiteral(" - ")) + 3));
        return result;
    }
    bool contains(const QString& part) { return text().contains(part); }

    // A print sink that keeps what the code under test printed.
    ConsoleSink printSink()
    {
        return [lines = m_printed](const QString& line) { lines->add(line); };
    }
    QStringList printed() const { return m_printed->all(); }

private:
    struct Lines {
        void add(const QString& line)
        {
            std::lock_guard lock(mutex);
            values.append(line);
        }
        QStringList all()
        {
            std::lock_guard lock(mutex);
            return values;
        }
        std::mutex mutex;
        QStringList values;
    };

    ManualClock m_clock;
    SecretRedactor m_redactor;
    std::shared_ptr<Lines> m_lines;
    std::shared_ptr<Lines> m_printed = std::make_shared<Lines>();
    Logger m_logger;
};

} // namespace velnor::test
