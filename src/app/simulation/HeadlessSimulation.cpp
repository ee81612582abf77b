#include "app/simulation/HeadlessSimulation.h"

#include "app/simulation/ConsoleTextInput.h"
#include "app/simulation/DictationScript.h"
#include "app/simulation/PrintingPositioner.h"
#include "app/simulation/SimulatedBackend.h"
#include "app/simulation/SimulatedRealtimeClient.h"
#include "config/DefaultSettings.h"
#include "config/MemorySettingsStore.h"
#include "core/Clock.h"
#include "core/QtScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "testing/FakeAudioFileRecorder.h"
#include "testing/FakeIndicator.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "testing/FakeRecordingFiles.h"
#include "testing/FakeSoundPlayer.h"
#include "platform/fake/FakeWorkspace.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace velnor {

int runHeadlessSimulation()
{
    const ConsoleSink console = standardOutputSink();
    QTemporaryDir recordings;
    SystemClock clock;
    QtScheduler scheduler;
    SecretRedactor redactor;
    Logger log(QString(), clock, console, redactor);
    MemorySettingsStore settings;
    PrintingPositioner positioner(console);
    DefaultSettingsRegistrar(settings, scheduler, positioner).registerDefaults();

    FakeIndicator indicator;
    FakeAudioFileRecorder recorder;
    FakeRecordingFiles recordingFiles(recordings.path());
    FakeSoundPlayer sounds;
    FakeWorkspace workspace;
    FakeAccessibilityTrust trust;
    FakeKeySynthesizer keys;
    ConsoleTextInput textInput(workspace, console);
    SimulatedBackend backend(scheduler, {QStringLiteral("今天下午三点在二号会议室开会。")});
    const RealtimeRecognitionClientFactory realtimeClients = [&scheduler] {
        return std::make_unique<SimulatedRealtimeClient>(
            scheduler, QStringList{QStringLiteral("please"), QStringLiteral("ship"), QStringLiteral("the"),
                                   QStringLiteral("release"), QStringLiteral("today")});
    };

    AppSetupHelper controller(AppSetupHelper::Collaborators{
        settings, scheduler, clock, log, console, indicator, recorder, recordingFiles, sounds, backend, backend,
        textInput, workspace, keys, trust, realtimeClients, QStringLiteral("linux")});

    DictationScript script(controller, settings, scheduler, log, textInput, console,
                           {{QStringLiteral("traditional"), seconds(2.0)}, {QStringLiteral("realtime"), seconds(3.0)}});
    script.start();
    return QCoreApplication::exec();
}

} // namespace velnor
