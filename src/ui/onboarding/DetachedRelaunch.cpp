#include "ui/onboarding/DetachedRelaunch.h"

#include <QCoreApplication>
#include <QProcess>

namespace velnor {

std::optional<QString> relaunchDetached(const std::function<void()>& handOver, const std::function<void()>& takeBack)
{
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(QCoreApplication::arguments().mid(1));
    if (handOver)
        handOver();
    if (!process.startDetached()) {
        if (takeBack)
            takeBack();
        return process.errorString();
    }
    QCoreApplication::exit(0);
    return std::nullopt;
}

} // namespace velnor
