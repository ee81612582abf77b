#pragma once

#include <QByteArray>
#include <QProcess>

#include <optional>

namespace velnor::test {

// Ends `process` as a session logout would: SIGTERM, then a kill once `graceMs`
// passed. True when it exited on its own with status 0.
inline bool endAsLogoutWould(QProcess& process, int graceMs = 10000)
{
    if (process.state() == QProcess::NotRunning)
        return false;
    process.terminate();
    if (process.waitForFinished(graceMs))
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    process.kill();
    process.waitForFinished(5000);
    return false;
}

// The standard output of a started `process` that exits with status 0 within
// `timeoutMs`; nothing otherwise (a late one is killed).
inline std::optional<QByteArray> outputOnSuccess(QProcess& process, int timeoutMs)
{
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

} // namespace velnor::test
