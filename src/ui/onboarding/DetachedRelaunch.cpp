#include "ui/onboarding/DetachedRelaunch.h"

#include <QCoreApplication>
#include <QProcess>

namespace velnor {

std::optional<QString> relaunchDetached()
{
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(QCoreApplication::arguments().mid(1));
    if (!process.startDetached())
        return process.errorString();
    QCoreApplication::exit(0);
    return std::nullopt;
}

} // namespace velnor
