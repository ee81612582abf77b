#include "log/Logger.h"

#include "core/Clock.h"
#include "log/CallSite.h"
#include "log/LogFile.h"
#include "log/SecretRedactor.h"

#include <QDir>

namespace velnor {

QString logLevelName(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug:
        return QStringLiteral("DEBUG");
    case LogLevel::Info:
        return QStringLiteral("INFO");
    case LogLevel::Warning:
        return QStringLiteral("WARNING");
    case LogLevel::Error:
        return QStringLiteral("ERROR");
    }
    return QStringLiteral("INFO");
}

Logger::Logger(QString documentsDir, const Clock& clock, ConsoleSink console, const SecretRedactor& redactor)
    : m_documentsDir(std::move(documentsDir))
    , m_clock(clock)
    , m_console(std::move(console))
    , m_redactor(redactor)
{
}

Logger::~Logger() = default;

void Logger::log(LogLevel level, QString message, std::source_location location)
{
    m_queue.async([this, when = m_clock.now(), level, location, message = std::move(message)] {
        write(when, level, CallSite::from(location), message);
    });
}

void Logger::debug(QString message, std::source_location location)
{
    log(LogLevel::Debug, std::move(message), location);
}

void Logger::info(QString message, std::source_location location)
{
    log(LogLevel::Info, std::move(message), location);
}

void Logger::warning(QString message, std::source_location location)
{
    log(LogLevel::Warning, std::move(message), location);
}

void Logger::error(QString message, std::source_location location)
{
    log(LogLevel::Error, std::move(message), location);
}

void Logger::flush()
{
    m_queue.waitUntilIdle();
}

QString Logger::formatLine(const QDateTime& when, LogLevel level, const CallSite& site, const QString& message)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" [") + logLevelName(level)
        + QStringLiteral("] ") + site.file + QLatin1Char(':') + QString::number(site.line) + QLatin1Char(' ')
        + site.function + QStringLiteral(" - ") + message;
}

QString Logger::filePathFor(const QDateTime& when) const
{
    return QDir(m_documentsDir).filePath(QStringLiteral("velnor-") + when.toString(QStringLiteral("yyyy-MM"))
                                         + QStringLiteral(".log"));
}

void Logger::write(const QDateTime& when, LogLevel level, const CallSite& site, const QString& message)
{
    const QString line = formatLine(when, level, site, m_redactor.redact(message));
    m_console(line);
    if (m_documentsDir.isEmpty())
        return;
    // Many Linux accounts have no Documents folder until something makes it.
    // Failures are ignored: the log never reports to its callers.
    QDir().mkpath(m_documentsDir);
    (void)appendToFile(filePathFor(when), line.toUtf8() + '\n');
}

} // namespace velnor
