#pragma once

#include "core/SerialQueue.h"
#include "log/ConsoleSink.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <atomic>
#include <optional>
#include <source_location>

namespace velnor {

class Clock;
class SecretRedactor;
class SystemLog;
struct CallSite;

enum class TencentASRLogLevel { Debug = 0, Info = 1, Warning = 2, Error = 3, None = 4 };

// The recognition log: level filter, per-level counters, and three outputs
// (console, a daily file under Documents/TencentASRLogs, the system log).
class TencentASRLogger final {
public:
    TencentASRLogger(QString documentsDir, const Clock& clock, ConsoleSink console, SystemLog& systemLog,
                     const SecretRedactor& redactor);
    ~TencentASRLogger();

    void debug(QString message, std::source_location location = std::source_location::current());
    void info(QString message, std::source_location location = std::source_location::current());
    void warning(QString message, std::source_location location = std::source_location::current());
    void error(QString message, std::source_location location = std::source_location::current());

    // Chooses today's file and creates its folder (only while file output is on).
    void setupLogFile();
    // Deletes files in the log folder last written more than daysToKeep days ago.
    void cleanupOldLogs(int daysToKeep);

    void setLogLevel(TencentASRLogLevel level) { m_logLevel = level; }
    TencentASRLogLevel logLevel() const { return m_logLevel; }
    void setEnableConsoleOutput(bool on) { m_enableConsoleOutput = on; }
    void setEnableFileOutput(bool on) { m_enableFileOutput = on; }
    void setEnableOSLog(bool on) { m_enableOSLog = on; }
    bool enableFileOutput() const { return m_enableFileOutput; }

    // Read after flush() for a settled value.
    quint64 logCount(TencentASRLogLevel level) const;
    std::optional<QString> logFilePath() const;

    void flush();

    static QString formatLine(const QDateTime& when, TencentASRLogLevel level, const CallSite& site,
                              const QString& message);

private:
    void log(TencentASRLogLevel level, QString message, const std::source_location& location);
    void write(const QDateTime& when, TencentASRLogLevel level, const CallSite& site, const QString& message);

    const QString m_documentsDir;
    const Clock& m_clock;
    const ConsoleSink m_console;
    SystemLog& m_systemLog;
    const SecretRedactor& m_redactor;

    std::atomic<TencentASRLogLevel> m_logLevel{TencentASRLogLevel::Info};
    std::atomic<bool> m_enableConsoleOutput{true};
    std::atomic<bool> m_enableFileOutput{true};
    std::atomic<bool> m_enableOSLog{true};
    std::array<std::atomic<quint64>, 5> m_logCounts{};

    // Touched on the queue only (logFilePath() reads it there too).
    std::optional<QString> m_logFilePath;

    mutable SerialQueue m_queue{QStringLiteral("com.velnor.tencent.asr.logger")};
};

QString tencentASRLogLevelName(TencentASRLogLevel level);
QString tencentASRLogLevelMarker(TencentASRLogLevel level);

} // namespace velnor
