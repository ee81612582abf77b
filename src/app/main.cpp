#include "app/DesktopApplication.h"
#include "app/DisplayProbe.h"
#include "app/QuitOnSignal.h"
#include "app/SingleInstance.h"
#include "app/simulation/HeadlessSimulation.h"
#include "app/simulation/SpeechSimulation.h"
#include "config/DeploymentConfig.h"
#include "ui/onboarding/DetachedRelaunch.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

bool hasArgument(int argc, char** argv, std::initializer_list<const char*> names)
{
    for (int i = 1; i < argc; ++i) {
        for (const char* name : names) {
            if (qstrcmp(argv[i], name) == 0)
                return true;
        }
    }
    return false;
}

void describe(QCoreApplication& app)
{
    QCoreApplication::setApplicationName(QStringLiteral("velnor"));
    QCoreApplication::setOrganizationName(QStringLiteral("velnor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELNOR_VERSION));
    Q_UNUSED(app);
}

int runDesktopApp(QApplication& app)
{
    std::optional<velnor::SingleInstance> instance;
    if (const auto directory = velnor::SingleInstance::defaultDirectory()) {
        instance.emplace(*directory);
        switch (instance->claim()) {
        case velnor::SingleInstance::Role::Primary:
            break;
        case velnor::SingleInstance::Role::Secondary:
            std::fputs("velnor: already running; its main window is shown\n", stdout);
            return 0;
        case velnor::SingleInstance::Role::Stuck:
            std::fputs("velnor: another instance holds the lock but neither answers nor exits\n", stderr);
            return 1;
        }
    } else {
        std::fputs("velnor: no private runtime directory (XDG_RUNTIME_DIR): a second launch will not find this one\n",
                   stderr);
    }
    // A relaunch hands over: this copy stops answering, so the new one waits
    // for it to exit instead of asking it to show itself and leaving.
    velnor::DesktopApplication desktop(velnor::AppPaths::standard(), [&instance] {
        return velnor::relaunchDetached(
            [&instance] {
                if (instance)
                    instance->stopListening();
            },
            [&instance] {
                if (instance)
                    instance->resumeListening();
            });
    });
    if (instance)
        QObject::connect(&*instance, &velnor::SingleInstance::activationRequested, &app,
                         [&desktop] { desktop.openMainWindow(); });
    const velnor::QuitOnSignal quitOnSignal([](int) { velnor::quitApplication(); });
    desktop.start();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    // Only the desktop app needs a display; the simulations, --help and
    // --version run anywhere.
    const bool desktop = !hasArgument(argc, argv, {"--simulate", "--help", "-h", "--help-all", "--version", "-v"});
    if (desktop) {
        if (const auto problem = velnor::x11DisplayProblem()) {
            std::fprintf(stderr, "velnor: %s\n", qPrintable(*problem));
            return 2;
        }
    }
    std::unique_ptr<QCoreApplication> app = desktop ? std::make_unique<QApplication>(argc, argv)
                                                    : std::make_unique<QCoreApplication>(argc, argv);
    describe(*app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Push-to-talk voice input."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Run one traditional and one real-time dictation against "
                                                     "simulated devices and backend, printing the log."));
    const QCommandLineOption speech(QStringList{QStringLiteral("speech")},
                                    QStringLiteral("With --simulate: use the real recorder, backend client and real-time "
                                                   "client against the configured backend, with this WAV file of speech "
                                                   "as the microphone."),
                                    QStringLiteral("wav"));
    parser.addOption(simulate);
    parser.addOption(speech);
    parser.process(*app);

    if (desktop || parser.isSet(speech)) {
        const velnor::DeploymentConfig deployment = velnor::DeploymentConfig::load(
            velnor::DeploymentConfig::userFilePath(), QProcessEnvironment::systemEnvironment());
        if (const auto refusal = velnor::insecureTransportError(deployment)) {
            std::fprintf(stderr, "velnor: %s\n", qUtf8Printable(*refusal));
            return 2;
        }
    }
    if (desktop)
        return runDesktopApp(static_cast<QApplication&>(*app));
    if (parser.isSet(speech))
        return velnor::runSpeechSimulation(parser.value(speech));
    return velnor::runHeadlessSimulation();
}
