#include "app/simulation/HeadlessSimulation.h"
#include "app/simulation/SpeechSimulation.h"
#include "config/DeploymentConfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velnor"));
    QCoreApplication::setOrganizationName(QStringLiteral("velnor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELNOR_VERSION));

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
    parser.process(app);

    const velnor::DeploymentConfig deployment =
        velnor::DeploymentConfig::load(velnor::DeploymentConfig::userFilePath(), QProcessEnvironment::systemEnvironment());
    if (const auto refusal = velnor::insecureTransportError(deployment)) {
        std::fprintf(stderr, "velnor: %s\n", qUtf8Printable(*refusal));
        return 2;
    }

    if (!parser.isSet(simulate)) {
        // The desktop front end (hotkey, indicator, text insertion) is not in
        // this build yet; the simulation shows the dictation session working.
        std::fputs("velnor: the desktop front end is not part of this build yet; running --simulate\n", stderr);
    }
    if (parser.isSet(speech))
        return velnor::runSpeechSimulation(parser.value(speech));
    return velnor::runHeadlessSimulation();
}
