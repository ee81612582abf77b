#include "accounts/SmsSender.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <cstdio>

namespace velnor::server {

QString maskedPhone(const QString& phone)
{
    if (phone.size() == 11)
        return phone.left(3) + QStringLiteral("****") + phone.right(4);
    return QStringLiteral("<%1 characters>").arg(phone.size());
}

bool LogSmsSender::send(const QString& phone, const QString& code, QString*)
{
    std::fprintf(stderr, "SMS code for %s: %s\n", qPrintable(maskedPhone(phone)), qPrintable(code));
    std::fflush(stderr);
    return true;
}

CommandSmsSender::CommandSmsSender(QString program, int timeoutMs)
    : m_program(std::move(program))
    , m_timeoutMs(timeoutMs)
{
}

bool CommandSmsSender::send(const QString& phone, const QString& code, QString* error)
{
    const QDeadlineTimer deadline(m_timeoutMs);
    QProcess process;
    process.setProgram(m_program);
    process.setArguments({phone});
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(static_cast<int>(deadline.remainingTime()))) {
        *error = QStringLiteral("cannot run the SMS command %1: %2").arg(m_program, process.errorString());
        return false;
    }
    process.write((code + QLatin1Char('\n')).toLatin1());
    process.closeWriteChannel();
    if (!process.waitForFinished(static_cast<int>(std::max<qint64>(0, deadline.remainingTime())))) {
        process.kill();
        process.waitForFinished(1000);
        *error = QStringLiteral("the SMS command %1 did not finish within %2 ms").arg(m_program).arg(m_timeoutMs);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = process.exitStatus() == QProcess::NormalExit
            ? QStringLiteral("the SMS command %1 failed with exit status %2").arg(m_program).arg(process.exitCode())
            : QStringLiteral("the SMS command %1 crashed").arg(m_program);
        return false;
    }
    return true;
}

} // namespace velnor::server
