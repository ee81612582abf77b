// Real PulseAudio (started by scripts/with-services.sh) and real FFmpeg.
#include "AudioTestSupport.h"
#include "DecodedAudio.h"
#include "PulseTestSupport.h"
#include "support/EventLoopWait.h"
#include "support/TempDir.h"

#include "audio/AudioInputManager.h"
#include "audio/AudioPlayer.h"
#include "audio/AudioRecorder.h"
#include "config/MemorySettingsStore.h"
#include "core/ManualScheduler.h"
#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/audio/PulseAudioDevices.h"
#include "platform/linux/audio/PulseMicrophonePermission.h"
#include "platform/linux/audio/SwrResampler.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

namespace velnor {
namespace {

const QString Sentence = QStringLiteral("The quick brown fox jumps over the lazy dog. Seven silver spoons.");
// Energy envelopes (10 ms RMS) of what was played and what came back must
// correlate at least this well at the best offset.
constexpr double EnvelopeThreshold = 0.9;

// Counts the frames a capture delivers, passing everything through.
class CountingCapture final : public AudioCapture {
public:
    CountingCapture(std::unique_ptr<AudioCapture> inner, std::atomic<qint64>& frames)
        : m_inner(std::move(inner))
        , m_frames(frames)
    {
    }
    bool isAvailable() const override { return m_inner->isAvailable(); }
    std::optional<AudioFormat> inputFormat() const override { return m_inner->inputFormat(); }
    std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override
    {
        return m_inner->start(framesPerBuffer, [this, onBuffer](const AudioBuffer& buffer) {
            m_frames += buffer.frameCount();
            onBuffer(buffer);
        });
    }
    void stop() override { m_inner->stop(); }

private:
    std::unique_ptr<AudioCapture> m_inner;
    std::atomic<qint64>& m_frames;
};

class AudioIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::VirtualMicrophone::serverConfigured())
            GTEST_SKIP() << "PULSE_SERVER is not set: run through scripts/with-services.sh";
        mic = std::make_unique<test::VirtualMicrophone>();
        ASSERT_TRUE(mic->isReady());
    }

    std::unique_ptr<AudioRecorder> makeRecorder(AudioCaptureFactory captureFactory)
    {
        return std::make_unique<AudioRecorder>(AudioRecorder::Dependencies{
            std::move(captureFactory), FfmpegAacFileWriter::factory(), permission, devices, nullptr, settings,
            out.logger, out.printer()});
    }

    test::TempDir dir;
    test::CapturedOutput out;
    MemorySettingsStore settings;
    PulseAudioDevices devices;
    ManualScheduler scheduler;
    PulseMicrophonePermission permission{devices, scheduler};
    std::unique_ptr<test::VirtualMicrophone> mic;
};

TEST_F(AudioIntegrationTest, RecordsTheMicrophoneIntoAnAacFileThatHoldsTheSpeech)
{
    const test::SpeechFixture speech = test::makeSpeech(dir.path(), Sentence);
    ASSERT_GT(speech.samples.size(), 48000u);

    std::atomic<qint64> frames{0};
    const QString source = mic->sourceName();
    auto recorder = makeRecorder([&frames, source] {
        return std::make_unique<CountingCapture>(std::make_unique<PulseAudioCapture>(source), frames);
    });
    std::atomic<int> levelCalls{0};
    recorder->setOnAudioSamplesReceived([&](const QVector<float>& levels) {
        EXPECT_LE(levels.size(), 100);
        ++levelCalls;
    });
    const QString path = dir.filePath(QStringLiteral("1765000000.5.m4a"));
    ASSERT_TRUE(recorder->startRecording(path));
    ASSERT_TRUE(test::waitUntil([&] { return frames > 0; }, 5000)) << "no audio from the virtual microphone";
    ASSERT_TRUE(mic->play(speech.wavPath));
    QThread::msleep(300);
    recorder->stopRecording();
    EXPECT_GT(levelCalls.load(), 0);

    const test::DecodedAudio file = test::decodeAudioFile(path);
    ASSERT_TRUE(file.opened);
    EXPECT_EQ(file.codecName, QStringLiteral("aac"));
    EXPECT_EQ(file.sampleRate, 48000);
    EXPECT_EQ(file.channels, 1);
    // As long as recorded, within one AAC frame plus the encoder's priming.
    const qint64 recorded = frames.load();
    EXPECT_NEAR(double(file.firstChannel.size()), double(recorded), 2048.0);
    EXPECT_NEAR(file.containerSeconds, double(recorded) / 48000.0, 2048.0 / 48000.0);
    EXPECT_GT(double(recorded) / 48000.0, double(speech.samples.size()) / 48000.0);

    const double correlation = test::bestEnvelopeCorrelation(test::energyEnvelope(speech.samples, 48000),
                                                             test::energyEnvelope(file.firstChannel, 48000));
    EXPECT_GE(correlation, EnvelopeThreshold);
    std::printf("recorded %.2f s, envelope correlation %.3f\n", double(recorded) / 48000.0, correlation);
    EXPECT_FALSE(out.logged(QStringLiteral("[AudioRecorder] 音频数据写入成功，峰值: ")).isEmpty());
}

TEST_F(AudioIntegrationTest, SixteenKilohertzPathKeepsFrameCountsAndSpeech)
{
    const test::SpeechFixture speech = test::makeSpeech(dir.path(), Sentence);
    PulseAudioCapture capture(mic->sourceName());
    const auto format = capture.inputFormat();
    ASSERT_TRUE(format);
    EXPECT_EQ(*format, (AudioFormat{48000, 1, SampleType::Float32, true}));
    const AudioFormat target{16000, 1, SampleType::Int16, true};
    auto resampler = SwrResampler::create(*format, target);
    ASSERT_TRUE(resampler);

    std::mutex mutex;
    std::vector<qint64> inputSizes;
    qint64 framesIn = 0;
    qint64 framesOut = 0;
    std::vector<float> converted;
    ASSERT_EQ(capture.start(512,
                            [&](const AudioBuffer& buffer) {
                                const auto out16k = resampler->convert(buffer);
                                const std::lock_guard lock(mutex);
                                inputSizes.push_back(buffer.frameCount());
                                framesIn += buffer.frameCount();
                                ASSERT_TRUE(out16k);
                                EXPECT_EQ(out16k->format, target);
                                framesOut += out16k->frameCount();
                                const auto* samples = reinterpret_cast<const qint16*>(out16k->data.constData());
                                for (qint64 i = 0; i < out16k->frameCount(); ++i)
                                    converted.push_back(float(samples[i]) / 32768.0f);
                            }),
              std::nullopt);
    ASSERT_TRUE(test::waitUntil([&] {
        const std::lock_guard lock(mutex);
        return framesIn > 0;
    }, 5000));
    ASSERT_TRUE(mic->play(speech.wavPath));
    QThread::msleep(300);
    capture.stop();

    const std::lock_guard lock(mutex);
    ASSERT_GT(inputSizes.size(), 100u);
    // Every buffer but the tail handed over at stop has exactly 512 frames.
    for (size_t i = 0; i + 1 < inputSizes.size(); ++i)
        ASSERT_EQ(inputSizes[i], 512) << i;
    EXPECT_EQ(framesOut, framesIn * 16000 / 48000);

    std::vector<float> speech16k;
    const auto resampled = SwrResampler::create({48000, 1, SampleType::Float32, true}, {16000, 1, SampleType::Float32, true});
    AudioBuffer whole{{48000, 1, SampleType::Float32, true},
                      QByteArray(reinterpret_cast<const char*>(speech.samples.data()), qsizetype(speech.samples.size() * 4))};
    const auto source16k = resampled->convert(whole);
    ASSERT_TRUE(source16k);
    speech16k.resize(size_t(source16k->frameCount()));
    std::memcpy(speech16k.data(), source16k->data.constData(), speech16k.size() * sizeof(float));

    const double correlation = test::bestEnvelopeCorrelation(test::energyEnvelope(speech16k, 16000),
                                                             test::energyEnvelope(converted, 16000));
    EXPECT_GE(correlation, EnvelopeThreshold);
    const auto envelope = test::energyEnvelope(converted, 16000);
    EXPECT_GT(*std::max_element(envelope.begin(), envelope.end()), 0.05);
    std::printf("16 kHz: %lld in, %lld out, envelope correlation %.3f\n", static_cast<long long>(framesIn),
                static_cast<long long>(framesOut), correlation);
}

TEST_F(AudioIntegrationTest, AnUnwritableFileFailsTheStartAndLeavesNothingRunning)
{
    auto recorder = makeRecorder(PulseAudioCapture::factory(mic->sourceName()));
    const QString path = dir.filePath(QStringLiteral("no-such-folder/deeper/1765000003.5.m4a"));
    EXPECT_FALSE(recorder->startRecording(path));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(out.logged(QStringLiteral("[AudioRecorder] 录音启动失败: No such file or directory")).size(), 1);
    recorder->stopRecording();
    EXPECT_FALSE(QFile::exists(path));
    // The same recorder records fine afterwards.
    const QString good = dir.filePath(QStringLiteral("1765000004.5.m4a"));
    std::atomic<int> buffers{0};
    recorder->setOnAudioSamplesReceived([&](const QVector<float>&) { ++buffers; });
    ASSERT_TRUE(recorder->startRecording(good));
    ASSERT_TRUE(test::waitUntil([&] { return buffers > 20; }, 5000));
    recorder->stopRecording();
    EXPECT_TRUE(test::decodeAudioFile(good).opened);
}

TEST_F(AudioIntegrationTest, DeviceListSeesMicrophonesButNotMonitors)
{
    AudioInputManager manager(devices, settings, out.logger, out.printer());
    QStringList ids;
    for (const AudioInputDevice& device : manager.availableDevices())
        ids.append(device.id);
    EXPECT_TRUE(ids.contains(mic->sourceName())) << ids.join(QLatin1Char(' ')).toStdString();
    for (const QString& id : ids)
        EXPECT_FALSE(id.endsWith(QStringLiteral(".monitor"))) << id.toStdString();

    const auto raw = devices.sources();
    ASSERT_TRUE(raw);
    const auto monitor = std::find_if(raw.value().begin(), raw.value().end(), [&](const AudioSourceInfo& s) {
        return s.name == mic->sinkName() + QStringLiteral(".monitor");
    });
    ASSERT_NE(monitor, raw.value().end());
    EXPECT_TRUE(monitor->isMonitor);
    EXPECT_EQ(permission.status(), MicrophonePermission::Status::Authorized);
}

TEST_F(AudioIntegrationTest, SelectingADeviceMakesItTheServersDefaultSource)
{
    const QString previous = test::VirtualMicrophone::pactl({QStringLiteral("get-default-source")});
    AudioInputManager manager(devices, settings, out.logger, out.printer());
    const auto device = std::find_if(manager.availableDevices().begin(), manager.availableDevices().end(),
                                     [&](const AudioInputDevice& d) { return d.id == mic->sourceName(); });
    ASSERT_NE(device, manager.availableDevices().end());
    manager.selectDevice(*device);
    const QString now = test::VirtualMicrophone::pactl({QStringLiteral("get-default-source")});
    const auto reported = devices.defaultSourceName();
    // Put the shared default back before asserting anything.
    test::VirtualMicrophone::pactl({QStringLiteral("set-default-source"), previous});
    EXPECT_EQ(now, mic->sourceName());
    ASSERT_TRUE(reported);
    EXPECT_EQ(reported.value(), mic->sourceName());
    EXPECT_TRUE(out.printed().contains(QStringLiteral("成功设置默认输入设备: Velnor-Test-Microphone")));
    EXPECT_TRUE(devices.setDefaultSource(QStringLiteral("no_such_source")).has_value());
}

TEST_F(AudioIntegrationTest, WithoutAServerStartFailsCleanly)
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(dir.filePath(QStringLiteral("no-daemon"))));
    auto recorder = makeRecorder(PulseAudioCapture::factory());
    const QString path = dir.filePath(QStringLiteral("1765000001.5.m4a"));
    QElapsedTimer timer;
    timer.start();
    const bool started = recorder->startRecording(path);
    const qint64 elapsed = timer.elapsed();
    const auto list = devices.sources();
    const auto permissionStatus = permission.status();
    PulseAudioCapture capture;
    const auto captureError = capture.start(512, [](const AudioBuffer&) {});
    qputenv("PULSE_SERVER", saved);

    EXPECT_FALSE(started);
    EXPECT_LT(elapsed, 5000);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(out.logged(QStringLiteral("[AudioRecorder] 录音启动失败: ")).size(), 1);
    EXPECT_EQ(out.logged(QStringLiteral("[AudioRecorder] 麦克风权限未授予，状态: 2")).size(), 1);
    EXPECT_FALSE(list);
    EXPECT_EQ(permissionStatus, MicrophonePermission::Status::Denied);
    EXPECT_TRUE(captureError.has_value());
    recorder->stopRecording();
}

// The start sound, from the app's resources, through Qt Multimedia to the
// server's default output (whose monitor we record).
TEST_F(AudioIntegrationTest, StartSoundReachesTheDefaultOutput)
{
    const QString sink = test::VirtualMicrophone::pactl({QStringLiteral("get-default-sink")});
    ASSERT_FALSE(sink.isEmpty());
    PulseAudioCapture monitor(sink + QStringLiteral(".monitor"));
    std::mutex mutex;
    float peak = 0.0f;
    ASSERT_EQ(monitor.start(1024,
                            [&](const AudioBuffer& buffer) {
                                const auto* samples = reinterpret_cast<const float*>(buffer.data.constData());
                                const std::lock_guard lock(mutex);
                                for (qint64 i = 0; i < buffer.frameCount() * buffer.format.channelCount; ++i)
                                    peak = std::max(peak, std::fabs(samples[i]));
                            }),
              std::nullopt);

    AudioPlayer player(out.logger);
    player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 1.0f);
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    monitor.stop();

    EXPECT_TRUE(out.logged(QStringLiteral("[ERROR]")).isEmpty()) << out.logLines().join(QLatin1Char('\n')).toStdString();
    const std::lock_guard lock(mutex);
    EXPECT_GT(peak, 0.3f); // the sound peaks at 0.5
}

// A second daemon of our own, killed while a recording runs: the recorder
// stops receiving audio but stop() still leaves a playable file.
TEST_F(AudioIntegrationTest, ADaemonDyingMidRecordingLeavesAPlayableFile)
{
    const QString socket = dir.filePath(QStringLiteral("native"));
    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.remove(QStringLiteral("PULSE_SERVER"));
    daemon.setProcessEnvironment(env);
    daemon.start(QStringLiteral("pulseaudio"),
                 {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                  QStringLiteral("--disable-shm=yes"), QStringLiteral("--log-target=stderr"), QStringLiteral("-L"),
                  QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket, QStringLiteral("-L"),
                  QStringLiteral("module-null-sink sink_name=doomed format=float32le rate=48000 channels=1"),
                  QStringLiteral("-L"), QStringLiteral("module-remap-source source_name=doomed_input master=doomed.monitor")});
    ASSERT_TRUE(daemon.waitForStarted(5000));
    const QByteArray server = "unix:" + QFile::encodeName(socket);
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(socket); }, 5000));
    QProcess tone;
    QProcessEnvironment toneEnv = QProcessEnvironment::systemEnvironment();
    toneEnv.insert(QStringLiteral("PULSE_SERVER"), QString::fromUtf8(server));
    tone.setProcessEnvironment(toneEnv);
    tone.setStandardInputFile(QStringLiteral("/dev/urandom"));
    tone.start(QStringLiteral("pacat"), {QStringLiteral("--playback"), QStringLiteral("--device=doomed"),
                                         QStringLiteral("--format=u8"), QStringLiteral("--rate=48000"),
                                         QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10")});
    ASSERT_TRUE(tone.waitForStarted(5000));

    std::atomic<qint64> frames{0};
    std::atomic<int> failures{0};
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", server);
    auto recorder = makeRecorder([&frames, &failures] {
        return std::make_unique<CountingCapture>(
            std::make_unique<PulseAudioCapture>(QStringLiteral("doomed_input"), [&failures](const QString&) { ++failures; }),
            frames);
    });
    const QString path = dir.filePath(QStringLiteral("1765000002.5.m4a"));
    const bool started = recorder->startRecording(path);
    qputenv("PULSE_SERVER", saved);
    ASSERT_TRUE(started);
    ASSERT_TRUE(test::waitUntil([&] { return frames > 24000; }, 5000));

    daemon.kill();
    daemon.waitForFinished(5000);
    EXPECT_TRUE(test::waitUntil([&] { return failures > 0; }, 5000));
    const qint64 beforeStop = frames.load();
    QElapsedTimer timer;
    timer.start();
    recorder->stopRecording();
    EXPECT_LT(timer.elapsed(), 2000);
    tone.kill();
    tone.waitForFinished(5000);

    const test::DecodedAudio file = test::decodeAudioFile(path);
    ASSERT_TRUE(file.opened);
    EXPECT_NEAR(double(file.firstChannel.size()), double(frames.load()), 2048.0);
    EXPECT_GE(frames.load(), beforeStop);
}

} // namespace
} // namespace velnor
