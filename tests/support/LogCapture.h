#pragma once

#include "core/Clock.h"
#include "log/ConsoleSink.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "log/TencentASRLogger.h"
#include "platform/SystemLog.h"

#include <QRegularExpression>
#include <QStringList>

#include <memory>
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

// The application log (and, on first use, the recognition log at debug level)
// writing only to memory, already redacted, plus what the code printed. On its
// own manual clock unless given one.
class LogCapture final {
public:
    LogCapture()
        : LogCapture(nullptr)
    {
    }
    explicit LogCapture(const Clock& clock)
        : LogCapture(&clock)
    {
    }

    Logger& logger() { return m_logger; }
    SecretRedactor& redactor() { return m_redactor; }

    TencentASRLogger& recognitionLogger()
    {
        if (!m_recognitionLogger) {
            m_recognitionLogger = std::make_unique<TencentASRLogger>(QString(), m_clock, m_collector.sink(),
                                                                     m_noSystemLog, m_redactor);
            m_recognitionLogger->setLogLevel(TencentASRLogLevel::Debug);
            m_recognitionLogger->setEnableOSLog(false);
        }
        return *m_recognitionLogger;
    }

    // Whole lines including level, e.g. "[WARNING]", once everything is written.
    QStringList lines()
    {
        m_logger.flush();
        if (m_recognitionLogger)
            m_recognitionLogger->flush();
        return m_collector.lines();
    }

    // Messages (the text after " - ") in order.
    QStringList messages()
    {
        static const QRegularExpression prefix(QStringLiteral("^.*? - "));
        return lines().replaceInStrings(prefix, QString());
    }

    bool contains(const QString& message) { return messages().contains(message); }
    QString text() { return lines().join(QLatin1Char('\n')); }
    // The lines containing `part` anywhere.
    QStringList linesWith(const QString& part) { return lines().filter(part); }
    qsizetype count(const QString& part) { return linesWith(part).size(); }
    bool mentions(const QString& part) { return text().contains(part); }

    QStringList startingWith(const QString& prefix)
    {
        return messages().filter(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(prefix)));
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
        lines();
        m_collector.clear();
    }

    // A print sink that keeps what the code under test printed.
    ConsoleSink printSink() { return m_printed.sink(); }
    QStringList printed() const { return m_printed.lines(); }

private:
    // Without a clock, the capture's own: bound here, after m_ownClock is
    // constructed (a delegating constructor handing over m_ownClock itself
    // would pass it before it exists).
    explicit LogCapture(const Clock* clock)
        : m_clock(clock ? *clock : m_ownClock)
        , m_logger(QString(), m_clock, m_collector.sink(), m_redactor)
    {
    }

    struct NoSystemLog final : SystemLog {
        bool isAvailable() const override { return false; }
        void write(Type, const QString&) override {}
    };

    ManualClock m_ownClock;
    const Clock& m_clock;
    // Before the loggers: they drain into these when destroyed.
    LineCollector m_collector;
    LineCollector m_printed;
    SecretRedactor m_redactor;
    NoSystemLog m_noSystemLog;
    Logger m_logger;
    std::unique_ptr<TencentASRLogger> m_recognitionLogger;
};

} // namespace velnor::test
