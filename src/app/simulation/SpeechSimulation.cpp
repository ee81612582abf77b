#include "app/simulation/SpeechSimulation.h"

#include "app/simulation/ConsoleTextInput.h"
#include "app/simulation/DictationScript.h"
#include "app/simulation/PrintingPositioner.h"
#include "asr/TencentASRClientFactory.h"
#include "audio/AudioRecorder.h"
#include "audio/FileUtils.h"
#include "backend/BackendServices.h"
#include "backend/OsType.h"
#include "config/DefaultSettings.h"
#include "config/DeploymentConfig.h"
#include "config/MemorySettingsStore.h"
#include "core/Clock.h"
#include "core/QtScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "log/TencentASRLogger.h"
#include "platform/fake/FakeAudioDevices.h"
#include "testing/FakeIndicator.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "platform/fake/FakeMicrophonePermission.h"
#include "testing/FakeSoundPlayer.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/FileAudioCapture.h"
#include "platform/linux/SyslogSystemLog.h"
#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/SwrResampler.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace velnor {

int runSpeechSimulation(const QString& speechWavPath)
{
    const ConsoleSink console = standardOutputSink();
    QString error;
    const auto probe = FileAudioCapture::fromWavFile(speechWavPath, 1.0, &error);
    if (!probe) {
        console(QStringLiteral("velnor: cannot use %1 as the microphone: %2").arg(speechWavPath, error));
        return 2;
    }
    const auto format = probe->inputFormat();
    const qint64 frames = format ? probe->totalFrames() : 0;
    const Duration speech(format && format->sampleRate > 0 ? frames * 1000 / format->sampleRate : 0);

    QTemporaryDir workDir;
    SystemClock clock;
    QtScheduler scheduler;
    SecretRedactor redactor;
    Logger log(QString(), clock, console, redactor);
    SyslogSystemLog systemLog(QStringLiteral("TencentASR"));
    // The recognition log goes to a file beside the recordings, not the console.
    TencentASRLogger asrLog(workDir.path(), clock, silentSink(), systemLog, redactor);
    MemorySettingsStore settings;
    PrintingPositioner positioner(console);
    DefaultSettingsRegistrar(settings, scheduler, positioner).registerDefaults();

    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const DeploymentConfig deployment = DeploymentConfig::load(QDir(configDir).filePath(QStringLiteral("velnor/deployment.conf")),
                                                               QProcessEnvironment::systemEnvironment());
    console(QStringLiteral(">>> backend %1, real-time recogniser %2://%3")
                .arg(deployment.backendBaseUrl.toString(), deployment.realtimeScheme, deployment.realtimeHost));

    BackendServices backend(BackendDependencies{settings, scheduler, log, redactor, console, deployment.backendBaseUrl,
                                                QCoreApplication::applicationVersion(), currentOsType()});

    const AudioCaptureFactory microphone = [speechWavPath] {
        return std::unique_ptr<AudioCapture>(FileAudioCapture::fromWavFile(speechWavPath));
    };
    FakeMicrophonePermission permission;
    FakeAudioDevices devices;
    AudioRecorder recorder(AudioRecorder::Dependencies{microphone, FfmpegAacFileWriter::factory(), permission, devices,
                                                       nullptr, settings, log, console});
    FileUtils recordingFiles(workDir.path(), clock, log, console);
    TencentASRClientFactory realtimeClients(deployment, clock, &backend.hotWordSource(), asrLog, scheduler, redactor);

    FakeIndicator indicator;
    FakeSoundPlayer sounds;
    FakeWorkspace workspace;
    FakeAccessibilityTrust trust;
    FakeKeySynthesizer keys;
    ConsoleTextInput textInput(workspace, console);

    AppSetupHelper controller(AppSetupHelper::Collaborators{
        settings, scheduler, clock, log, console, indicator, recorder, recordingFiles, sounds, backend.fileRecognition(),
        backend.textAdjustment(), textInput, workspace, keys, trust,
        realtimeClients.makeFactory(permission, microphone, SwrResampler::factory()), currentOsType()});

    // Hold the key a little longer than the speech lasts, as a person would.
    const Duration hold = speech + seconds(0.6);
    DictationScript script(controller, settings, scheduler, log, textInput, console,
                           {{QStringLiteral("traditional"), hold}, {QStringLiteral("realtime"), hold}});
    script.start();
    return QCoreApplication::exec();
}

} // namespace velnor
