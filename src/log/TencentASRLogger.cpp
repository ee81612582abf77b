#include "log/TencentASRLogger.h"

#include "core/Clock.h"
#include "log/CallSite.h"
#include "log/LogFile.h"
#include "log/SecretRedactor.h"
#include "platform/SystemLog.h"

#include <QDir>
#include <QFileInfo>

#include <future>

namespace velnor {

QString tencentASRLogLevelName(TencentASRLogLevel level)
{
    switch (level) {
    case TencentASRLogLevel::Debug:
        return QStringLiteral("DEBUG");
    case TencentASRLogLevel::Info:
        return QStringLiteral("INFO");
    case TencentASRLogLevel::Warning:
        return QStringLiteral("WARNING");
    case TencentASRLogLevel::Error:
        return QStringLiteral("ERROR");
    case TencentASRLogLevel::None:
        return QStringLiteral("NONE");
    }
    return {};
}

QString tencentASRLogLevelMarker(TencentASRLogLevel level)
{
    switch (level) {
    case TencentASRLogLevel::Debug:
        return QStringLiteral("🔍");
    case TencentASRLogLevel::Info:
        return QStringLiteral("ℹ️");
    case TencentASRLogLevel::Warning:
        return QStringLiteral("⚠️");
    case TencentASRLogLevel::Error:
        return QStringLiteral("❌");
    case TencentASRLogLevel::None:
        return {};
    }
    return {};
}

namespace {

SystemLog::Type systemLogType(TencentASRLogLevel level)
{
    switch (level) {
    case TencentASRLogLevel::Debug:
        return SystemLog::Type::Debug;
    case TencentASRLogLevel::Info:
        return SystemLog::Type::Info;
    case TencentASRLogLevel::Error:
        return SystemLog::Type::Error;
    default:
        return SystemLog::Type::Default;
    }
}

} // namespace

TencentASRLogger::TencentASRLogger(QString documentsDir, const Clock& clock, ConsoleSink console,
                                   SystemLog& systemLog, const SecretRedactor& redactor)
    : m_documentsDir(std::move(documentsDir))
    , m_clock(clock)
    , m_console(std::move(console))
    , m_systemLog(systemLog)
    , m_redactor(redactor)
{
    setupLogFile();
}

TencentASRLogger::~TencentASRLogger() = default;

void TencentASRLogger::debug(QString message, std::source_location location)
{
    log(TencentASRLogLevel::Debug, std::move(message), location);
}

void TencentASRLogger::info(QString message, std::source_location location)
{
    log(TencentASRLogLevel::Info, std::move(message), location);
}

void TencentASRLogger::warning(QString message, std::source_location location)
{
    log(TencentASRLogLevel::Warning, std::move(message), location);
}

void TencentASRLogger::error(QString message, std::source_location location)
{
    log(TencentASRLogLevel::Error, std::move(message), location);
}

void TencentASRLogger::log(TencentASRLogLevel level, QString message, const std::source_location& location)
{
    if (static_cast<int>(level) < static_cast<int>(m_logLevel.load()))
        return;
    m_queue.async([this, when = m_clock.now(), level, location, message = std::move(message)] {
        write(when, level, CallSite::from(location), message);
    });
}

void TencentASRLogger::write(const QDateTime& when, TencentASRLogLevel level, const CallSite& site,
                             const QString& rawMessage)
{
    ++m_logCounts[static_cast<size_t>(level)];
    const QString message = m_redactor.redact(rawMessage);
    const QString line = formatLine(when, level, site, message);
    if (m_enableConsoleOutput)
        m_console(line);
    if (m_enableOSLog && m_systemLog.isAvailable())
        m_systemLog.write(systemLogType(level), message);
    if (m_enableFileOutput && m_logFilePath) {
        if (auto failure = appendToFile(*m_logFilePath, line.toUtf8() + '\n'))
            m_console(QStringLiteral("写入日志文件失败: ") + *failure);
    }
}

QString TencentASRLogger::formatLine(const QDateTime& when, TencentASRLogLevel level, const CallSite& site,
                                     const QString& message)
{
    return QLatin1Char('[') + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral("] ")
        + tencentASRLogLevelMarker(level) + QLatin1Char(' ') + tencentASRLogLevelName(level) + QStringLiteral(" [")
        + site.file + QLatin1Char(':') + QString::number(site.line) + QStringLiteral("] ") + site.function
        + QStringLiteral(" - ") + message;
}

void TencentASRLogger::setupLogFile()
{
    if (!m_enableFileOutput || m_documentsDir.isEmpty())
        return;
    const QString day = m_clock.now().toString(QStringLiteral("yyyy-MM-dd"));
    m_queue.async([this, day] {
        const QString folder = QDir(m_documentsDir).filePath(QStringLiteral("TencentASRLogs"));
        QDir().mkpath(folder);
        m_logFilePath = QDir(folder).filePath(QStringLiteral("tencent_asr_") + day + QStringLiteral(".log"));
    });
}

void TencentASRLogger::cleanupOldLogs(int daysToKeep)
{
    const QDateTime cutoff = m_clock.now().addDays(-daysToKeep);
    m_queue.async([this, cutoff] {
        if (!m_logFilePath)
            return;
        const QDir folder = QFileInfo(*m_logFilePath).dir();
        const auto entries = folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
        for (const QFileInfo& entry : entries) {
            // Linux file systems do not reliably report a birth time, and it
            // cannot be preserved by copies; the last write is the age used.
            if (entry.lastModified() < cutoff && QFile::remove(entry.absoluteFilePath()))
                info(QStringLiteral("删除旧日志文件: ") + entry.fileName());
        }
    });
}

quint64 TencentASRLogger::logCount(TencentASRLogLevel level) const
{
    return m_logCounts[static_cast<size_t>(level)].load();
}

std::optional<QString> TencentASRLogger::logFilePath() const
{
    std::promise<std::optional<QString>> result;
    auto future = result.get_future();
    m_queue.async([this, &result] { result.set_value(m_logFilePath); });
    return future.get();
}

void TencentASRLogger::flush()
{
    m_queue.waitUntilIdle();
}

} // namespace velnor
