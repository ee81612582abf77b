#pragma once

#include "core/SerialQueue.h"
#include "log/ConsoleSink.h"

#include <QDateTime>
#include <QString>

#include <source_location>

namespace velnor {

class Clock;
class SecretRedactor;
struct CallSite;

enum class LogLevel { Debug = 0, Info = 1, Warning = 2, Error = 3 };

// The application log: every line goes to standard output and to a monthly
// file "velnor-yyyy-MM.log" in the Documents folder. Callers on any thread pay
// for an enqueue only; formatting and file access run on the log's queue.
class Logger final {
public:
    // An empty documentsDir means there is no Documents folder: console only.
    Logger(QString documentsDir, const Clock& clock, ConsoleSink console, const SecretRedactor& redactor);
    ~Logger();

    void log(LogLevel level, QString message, std::source_location location = std::source_location::current());
    void debug(QString message, std::source_location location = std::source_location::current());
    void info(QString message, std::source_location location = std::source_location::current());
    void warning(QString message, std::source_location location = std::source_location::current());
    void error(QString message, std::source_location location = std::source_location::current());

    // Blocks until every line logged so far is written.
    void flush();

    static QString formatLine(const QDateTime& when, LogLevel level, const CallSite& site, const QString& message);
    QString filePathFor(const QDateTime& when) const;

private:
    void write(const QDateTime& when, LogLevel level, const CallSite& site, const QString& message);

    const QString m_documentsDir;
    const Clock& m_clock;
    const ConsoleSink m_console;
    const SecretRedactor& m_redactor;
    // Declared last: destroyed first, so queued lines drain while the members above live.
    SerialQueue m_queue{QStringLiteral("com.velnor.logger")};
};

QString logLevelName(LogLevel level);

} // namespace velnor
