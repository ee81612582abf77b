// One real-time dictation as the user makes it: the real dictation
// controller with the real cached client (made by the client factory the
// app uses) against a real velnor-server decoding espeak-ng speech; only the
// microphone (a WAV file), the indicator, the text field and the correction
// service are stand-ins.
#include "AsrTestSupport.h"
#include "RecordingLinearResampler.h"

#include "asr/QtWebSocketTransport.h"
#include "asr/TencentASRClientFactory.h"
#include "config/DeploymentConfig.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/QtScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "testing/FakeAudioFileRecorder.h"
#include "testing/FakeBackendServices.h"
#include "testing/FakeIndicator.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "platform/fake/FakeMicrophonePermission.h"
#include "testing/FakeRecordingFiles.h"
#include "testing/FakeSoundPlayer.h"
#include "testing/FakeTextInput.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/FileAudioCapture.h"
#include "support/EventLoopWait.h"
#include "support/LogCapture.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

TEST(RealtimeControllerIntegrationTest, SpokenWordsReachTheFocusedField)
{
    test::TempDir dir;
    test::ServerProcess server;
    ASSERT_TRUE(server.start(dir.path(), test::realtimeServerArgs(dir.path()))) << server.error().toStdString();
    test::SpeechFixtures speech(dir.path());
    const QString wav = speech.wav("hello world. the weather is nice today.");
    ASSERT_FALSE(wav.isEmpty()) << speech.error().toStdString();

    DeploymentConfig deployment;
    deployment.realtimeScheme = QStringLiteral("ws");
    deployment.realtimeHost = server.url().authority();
    deployment.asrAppId = QLatin1String(test::RealtimeCredentials::appId);
    deployment.asrSecretId = QLatin1String(test::RealtimeCredentials::secretId);
    deployment.asrSecretKey = QLatin1String(test::RealtimeCredentials::secretKey);

    QtScheduler scheduler;
    SystemClock clock;
    test::LogCapture log(clock);
    test::FakeHotWords hotWords;
    TencentASRClientFactory clients(deployment, clock, &hotWords, log.recognitionLogger(), scheduler, log.redactor());
    QtMainQueue mainQueue;
    SteadyPacer pacer;
    TencentASRSignature signature(server.url().authority(), clock, &hotWords, log.recognitionLogger());
    FakeMicrophonePermission permission;
    FileAudioCapture* capture = nullptr;
    auto converted = std::make_shared<QByteArray>();
    auto mutex = std::make_shared<std::mutex>();
    const RealtimeRecognitionClientFactory factory = clients.makeFactory(
        permission,
        [&]() -> std::unique_ptr<AudioCapture> {
            auto made = FileAudioCapture::fromWavFile(wav, 1.0);
            capture = made.get();
            return made;
        },
        [converted, mutex](const AudioFormat& from, const AudioFormat&) -> std::unique_ptr<Resampler> {
            return std::make_unique<test::RecordingLinearResampler>(from.sampleRate, converted, mutex);
        });

    MemorySettingsStore settings;
    settings.setString(SettingsKey::RecognitionMode, QStringLiteral("realtime"));
    FakeIndicator indicator;
    FakeAudioFileRecorder recorder;
    FakeRecordingFiles recordingFiles(dir.path());
    FakeSoundPlayer sounds;
    FakeFileRecognitionService recognition;
    FakeTextAdjustmentService adjustment;
    FakeWorkspace workspace;
    FakeTextInput textInput(workspace);
    FakeKeySynthesizer keys([] { return qint64(0); });
    FakeAccessibilityTrust trust;
    AppSetupHelper controller(AppSetupHelper::Collaborators{
        settings, scheduler, clock, log.logger(), log.printSink(), indicator, recorder, recordingFiles, sounds,
        recognition, adjustment, textInput, workspace, keys, trust, factory, QStringLiteral("linux")});

    // A server that has served before keeps a loaded decoder: warm it, so the
    // dictation's handshake does not wait for the model to load (which would
    // push the final text past the controller's 3 s wait).
    {
        TencentASREnvironment environment{scheduler, mainQueue, pacer, log.recognitionLogger(), signature,
                                          QtWebSocketTransport::factory({})};
        TencentASRService warmUp(clients.defaultConfig(), environment);
        test::RecordingServiceDelegate delegate;
        warmUp.setDelegate(&delegate);
        warmUp.connect();
        ASSERT_TRUE(test::waitUntil([&] { return warmUp.connectionState().is(TencentASRConnectionState::Kind::Ready); }, 20000));
        warmUp.startRecognition();
        warmUp.stopRecognition();
        ASSERT_TRUE(test::waitUntil([&] { return delegate.events.contains("complete"); }, 10000));
        warmUp.disconnect();
    }

    controller.handleKeyDown();
    ASSERT_TRUE(test::waitUntil([&] { return capture != nullptr; }, 5000));
    // The user speaks the whole sentence, then lets go of the key.
    ASSERT_TRUE(test::waitUntil([&] { return capture->deliveredBuffers() > 0; }, 5000));
    capture->waitUntilFinished();
    controller.handleKeyUp();

    // The transcript goes to correction; the corrected text is typed.
    ASSERT_TRUE(test::waitUntil([&] { return !adjustment.adjustments.isEmpty(); }, 10000)) << "no final transcript";
    const QString transcript = adjustment.adjustments.last().params.text;
    EXPECT_TRUE(transcript.contains("hello") || transcript.contains("world") || transcript.contains("today"))
        << transcript.toStdString();
    AdjustTextResponse corrected;
    corrected.text = transcript + QStringLiteral("!");
    adjustment.adjustments.last().answer(Result<AdjustTextResponse, ServiceError>::success(corrected));
    ASSERT_TRUE(test::waitUntil([&] { return !textInput.typed.isEmpty(); }, 5000));
    EXPECT_EQ(textInput.typed, QStringList{transcript + QStringLiteral("!")});

    // The server heard every converted byte, and the transcript it made.
    const QJsonObject stats = server.realtimeConnections().last().toObject();
    QStringList segments;
    for (const QJsonValue& text : stats.value("segments").toArray())
        segments << text.toString();
    EXPECT_EQ(segments.join(QString()), transcript);
    std::lock_guard lock(*mutex);
    EXPECT_EQ(stats.value("audio_bytes").toInteger(), converted->size());
    EXPECT_FALSE(log.mentions(deployment.asrSecretKey));
}

} // namespace
} // namespace velnor
