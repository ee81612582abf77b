#pragma once

#include <QProcess>

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

} // namespace velnor::test
