#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace velnor::test {

// `program`'s standard output; `ok` when it exited with 0 in time.
inline QByteArray run(const QString& program, const QStringList& arguments, bool* ok = nullptr, int timeoutMs = 10000)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

} // namespace velnor::test
