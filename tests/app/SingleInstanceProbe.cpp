// A stand-in for the app's start-up, for the single-instance tests:
//   single_instance_probe <directory> <run-ms> [<relaunch-marker> (none when empty)]
// Claims the instance in <directory> and appends "<role> <pid>" to
// <directory>/roles.log. The primary runs for <run-ms>; given a marker file
// that does not exist yet, it creates it and relaunches itself once, the way
// the onboarding restarts the app, and takes a moment to shut down as the
// app does (its new copy is running by then).
#include "app/SingleInstance.h"
#include "ui/onboarding/DetachedRelaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3)
        return 2;
    const QString directory = args.at(1);
    velnor::SingleInstance instance(directory);
    using Role = velnor::SingleInstance::Role;
    const Role role = instance.claim();
    const QByteArray name = role == Role::Primary ? "primary" : role == Role::Secondary ? "secondary" : "stuck";
    QFile log(QDir(directory).filePath(QStringLiteral("roles.log")));
    if (log.open(QIODevice::Append | QIODevice::Unbuffered)) // written before the relaunch, not at exit
        log.write(name + ' ' + QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    if (role != Role::Primary)
        return role == Role::Stuck ? 1 : 0;
    const bool relaunches = !args.value(3).isEmpty() && !QFile::exists(args.value(3));
    if (relaunches) {
        QFile(args.at(3)).open(QIODevice::WriteOnly);
        QTimer::singleShot(100, &app, [&instance] {
            velnor::relaunchDetached([&instance] { instance.stopListening(); },
                                     [&instance] { instance.resumeListening(); });
        });
    }
    QTimer::singleShot(args.at(2).toInt(), &app, &QCoreApplication::quit);
    const int status = QCoreApplication::exec();
    if (relaunches)
        QThread::msleep(700); // the app's teardown, with the instance still held
    return status;
}
