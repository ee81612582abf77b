// Real PulseAudio (started by scripts/with-services.sh) and real FFmpeg.
#include "AudioTestSupport.h"
#include "DecodedAudio.h"
#include "support/EventLoopWait.h"
#include "support/SpeechFixtures.h"
#include "support/TempDir.h"

#include "audio/AudioInputManager.h"
#include "audio/AudioLevels.h"
#include "audio/AudioPlayer.h"
#include "audio/AudioRecorder.h"
#include "config/MemorySettingsStore.h"
#include "core/ManualScheduler.h"
#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/audio/PulseAudioDevices.h"
#include "platform/linux/audio/PulseConnection.h"
#include "platform/linux/audio/PulseMicrophonePermission.h"
#include "platform/linux/audio/PulseSoundOutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numeric>

#include <signal.h>

namespace velnor {
namespace {

const QString Sentence = QStringLiteral("The quick brown fox jumps over the lazy dog. Seven silver spoons.");
// Energy envelopes (10 ms RMS) of what was played and what came back must
// correlate at least this well at the best offset.
constexpr double EnvelopeThreshold = 0.9;

// A fresh virtual microphone per test on the daemon scripts/with-services.sh
// starts (a null sink to play into, its monitor remapped as an ordinary
// source), so parallel tests never hear each other.
struct VirtualMicrophone final {
    VirtualMicrophone()
    {
        static int counter = 0;
        sink = QStringLiteral("velnor_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter++);
        for (const QString& module :
             {QStringLiteral("module-null-sink sink_name=%1 format=float32le rate=48000 channels=1").arg(sink),
              QStringLiteral("module-remap-source source_name=%1 master=%2.monitor "
                             "source_properties=device.description=Velnor-Test-Microphone")
                  .arg(sourceName(), sink)}) {
            bool ok = false;
            const QString index = test::run(QStringLiteral("pactl"), QStringList{QStringLiteral("load-module")} + module.split(' '), &ok).trimmed();
            if (!ok)
                return;
            modules.append(index);
        }
        // A null sink with nothing playing delivers nothing; low-latency silence
        // keeps it ticking in small blocks.
        silence.setStandardInputFile(QStringLiteral("/dev/zero"));
        silence.start(QStringLiteral("pacat"),
                        QStringLiteral("--playback --device=%1 --rate=48000 --channels=1 --format=s16le --latency-msec=10")
                            .arg(sink)
                            .split(' '));
        ready = silence.waitForStarted(5000);
    }
    ~VirtualMicrophone()
    {
        silence.kill();
        silence.waitForFinished(5000);
        for (auto it = modules.crbegin(); it != modules.crend(); ++it)
            test::run(QStringLiteral("pactl"), {QStringLiteral("unload-module"), *it});
    }

    QString sourceName() const { return sink + QStringLiteral("_input"); }

    QString sink; // what is played here comes out of the microphone
    QStringList modules;
    QProcess silence;
    bool ready = false;
};

// Speech from espeak-ng (deterministic: sox without dither) as a 48 kHz mono
// float WAV; returns its path.
QString makeSpeech(const QString& dir)
{
    const QString path = dir + QStringLiteral("/speech.wav");
    test::SpeechFixtures speech(dir);
    QProcess::execute(QStringLiteral("sox"), QStringList{QStringLiteral("-R"), speech.wav(Sentence)}
                                                 + QStringLiteral("-r 48000 -c 1 -e floating-point -b 32 %1").arg(path).split(' '));
    return path;
}

// RMS per 10 ms window of 48 kHz audio.
std::vector<double> energyEnvelope(const std::vector<float>& samples)
{
    std::vector<double> envelope;
    for (auto window = samples.cbegin(); samples.cend() - window >= 480; window += 480)
        envelope.push_back(std::sqrt(std::inner_product(window, window + 480, window, 0.0) / 480.0));
    return envelope;
}

// The best Pearson correlation of `reference` against `signal` over all
// offsets of the reference inside the signal.
double bestEnvelopeCorrelation(std::vector<double> reference, const std::vector<double>& signal)
{
    const auto centre = [](std::vector<double>& values) {
        const double mean = std::accumulate(values.cbegin(), values.cend(), 0.0) / double(values.size());
        for (double& value : values)
            value -= mean;
        return std::inner_product(values.cbegin(), values.cend(), values.cbegin(), 0.0);
    };
    const double referenceVariance = centre(reference);
    const auto n = qsizetype(reference.size());
    double best = -1.0;
    for (qsizetype offset = 0; offset + n <= qsizetype(signal.size()); ++offset) {
        std::vector<double> window(signal.cbegin() + offset, signal.cbegin() + offset + n);
        const double windowVariance = centre(window);
        const double cross = std::inner_product(reference.cbegin(), reference.cend(), window.cbegin(), 0.0);
        best = std::max(best, cross / std::sqrt(referenceVariance * windowVariance));
    }
    return best;
}

// A daemon of our own on a private socket, fed with noise, that a test may
// freeze, kill and start again.
class PrivateDaemon final {
    inline static const QString kMicrophoneModule =
        QStringLiteral("module-remap-source source_name=doomed_input master=doomed.monitor");

public:
    explicit PrivateDaemon(const QString& dir)
        : m_dir(dir)
    {
    }
    ~PrivateDaemon() { stop(); }

    QByteArray server() const { return "unix:" + QFile::encodeName(m_dir + QStringLiteral("/native")); }

    // Without a microphone the daemon offers only an output (and its monitor).
    bool start(bool withMicrophone = true)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})
            env.insert(QString::fromLatin1(variable), m_dir);
        env.remove(QStringLiteral("PULSE_SERVER"));
        m_daemon.setProcessEnvironment(env);
        m_daemon.start(QStringLiteral("pulseaudio"),
                       QStringLiteral("-n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --log-target=stderr").split(' ')
                           + QStringList{QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=")
                                                                   + m_dir + QStringLiteral("/native"),
                                         QStringLiteral("-L"),
                                         QStringLiteral("module-null-sink sink_name=doomed format=float32le rate=48000 channels=1")}
                           + (withMicrophone ? QStringList{QStringLiteral("-L"), kMicrophoneModule} : QStringList()));
        if (!m_daemon.waitForStarted(5000))
            return false;
        m_tone.setStandardInputFile(QStringLiteral("/dev/urandom"));
        // pacat retries until the daemon's socket answers.
        return test::waitUntil([&] {
            if (m_tone.state() == QProcess::NotRunning)
                m_tone.start(QStringLiteral("pacat"),
                             QStringList{serverOption()}
                                 + QStringLiteral("--playback --device=doomed --format=u8 --rate=48000 --channels=1 --latency-msec=10").split(' '));
            return m_tone.waitForFinished(200) == false && m_tone.state() == QProcess::Running;
        }, 10000);
    }

    void signal(int number) const { ::kill(pid_t(m_daemon.processId()), number); }

    // Plugs the microphone in while the daemon runs.
    bool addMicrophone() const
    {
        bool ok = false;
        test::run(QStringLiteral("pactl"), QStringList{serverOption(), QStringLiteral("load-module")} + kMicrophoneModule.split(' '), &ok, 5000);
        return ok;
    }

    void stop()
    {
        for (QProcess* process : {&m_tone, &m_daemon}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

private:
    QString serverOption() const { return QStringLiteral("--server=") + QString::fromUtf8(server()); }

    QString m_dir;
    QProcess m_daemon;
    QProcess m_tone;
};

class AudioIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "PULSE_SERVER is not set: run through scripts/with-services.sh";
        mic = std::make_unique<VirtualMicrophone>();
        ASSERT_TRUE(mic->ready);
        // The connection learns of the new source from the server's change event.
        ASSERT_TRUE(test::waitUntil([&] { return hasSource(connection, mic->sourceName()); }, 5000));
    }

    // Counts the frames a capture delivers and notes buffers of another size
    // than asked for, passing everything through.
    class CountingCapture final : public AudioCapture {
    public:
        CountingCapture(AudioIntegrationTest& test, std::unique_ptr<AudioCapture> inner)
            : m_test(test)
            , m_inner(std::move(inner))
        {
        }
        bool isAvailable() const override { return m_inner->isAvailable(); }
        std::optional<AudioFormat> inputFormat() const override { return m_inner->inputFormat(); }
        std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override
        {
            return m_inner->start(framesPerBuffer, [this, onBuffer, framesPerBuffer](const AudioBuffer& buffer) {
                m_test.frames += buffer.frameCount();
                m_test.oddBuffers += buffer.frameCount() != framesPerBuffer;
                onBuffer(buffer);
            });
        }
        void stop() override { m_inner->stop(); }

    private:
        AudioIntegrationTest& m_test;
        std::unique_ptr<AudioCapture> m_inner;
    };

    static bool hasSource(const PulseConnection& pulse, const QString& name)
    {
        const auto snapshot = pulse.snapshot();
        return snapshot && std::any_of(snapshot.value().sources.cbegin(), snapshot.value().sources.cend(),
                                       [&](const AudioSourceInfo& s) { return s.name == name; });
    }

    // A recorder on `pulse`'s `source` (its default when empty) that counts
    // the frames it gets and the stream failures it hears.
    std::unique_ptr<AudioRecorder> makeRecorder(PulseConnection& pulse, const QString& source, AudioDevices& sources,
                                                MicrophonePermission& access)
    {
        AudioCaptureFactory capture = [this, &pulse, source] {
            return std::make_unique<CountingCapture>(
                *this, std::make_unique<PulseAudioCapture>(pulse, source, [this](const QString&) { ++failures; }));
        };
        return std::make_unique<AudioRecorder>(AudioRecorder::Dependencies{
            capture, FfmpegAacFileWriter::factory(), access, sources, nullptr, settings, log.logger(), log.printSink()});
    }

    bool framesArrive(qint64 count)
    {
        return test::waitUntil([&] { return frames > count; }, 5000);
    }

    test::TempDir dir;
    test::LogCapture log;
    MemorySettingsStore settings;
    PulseConnection connection{"Velnor tests"};
    PulseAudioDevices devices{connection};
    ManualScheduler scheduler;
    PulseMicrophonePermission permission{connection, scheduler};
    std::unique_ptr<VirtualMicrophone> mic;
    std::atomic<qint64> frames{0};
    std::atomic<int> failures{0};
    std::atomic<int> oddBuffers{0};
};

// The recorder takes the microphone in buffers of the size it asks for and
// writes them into an AAC file that holds the speech.
TEST_F(AudioIntegrationTest, RecordsTheMicrophoneIntoAnAacFileThatHoldsTheSpeech)
{
    auto recorder = makeRecorder(connection, mic->sourceName(), devices, permission);
    const QString speechPath = makeSpeech(dir.path());
    const std::vector<float> speech = test::decodeAudioFile(speechPath).firstChannel;
    ASSERT_GT(speech.size(), 48000u);
    std::atomic<int> levelCalls{0};
    recorder->setOnAudioSamplesReceived([&](const QVector<float>& levels) {
        EXPECT_LE(levels.size(), 100);
        ++levelCalls;
    });
    const QString path = dir.filePath(QStringLiteral("1765000000.5.m4a"));
    ASSERT_TRUE(recorder->startRecording(path));
    ASSERT_TRUE(framesArrive(0)) << "no audio from the virtual microphone";
    bool played = false;
    test::run(QStringLiteral("paplay"), {QStringLiteral("--device=") + mic->sink, speechPath}, &played, 30000);
    ASSERT_TRUE(played);
    QThread::msleep(300);
    recorder->stopRecording();
    EXPECT_GT(levelCalls.load(), 0);
    EXPECT_LE(oddBuffers.load(), 1) << "only the tail handed over at stop may be short";

    const test::DecodedAudio file = test::decodeAudioFile(path);
    // The file's format and stated length are FfmpegAacFileWriter's (CodecTest);
    // here: as long as recorded, within one AAC frame plus the encoder's priming.
    ASSERT_TRUE(file.opened);
    const double recorded = double(frames.load());
    EXPECT_NEAR(double(file.firstChannel.size()), recorded, 2048.0);
    EXPECT_GT(recorded, double(speech.size()));
    const double correlation = bestEnvelopeCorrelation(energyEnvelope(speech), energyEnvelope(file.firstChannel));
    EXPECT_GE(correlation, EnvelopeThreshold);
    std::printf("recorded %.2f s, envelope correlation %.3f\n", recorded / 48000.0, correlation);
    EXPECT_FALSE(log.linesWith(QStringLiteral("[AudioRecorder] 音频数据写入成功，峰值: ")).isEmpty());
}

TEST_F(AudioIntegrationTest, SelectingADeviceMakesItTheServersDefaultSource)
{
    const QString previous = test::run(QStringLiteral("pactl"), {QStringLiteral("get-default-source")}).trimmed();
    AudioInputManager manager(devices, settings, log.logger(), log.printSink());
    const auto device = std::find_if(manager.availableDevices().begin(), manager.availableDevices().end(),
                                     [&](const AudioInputDevice& d) { return d.id == mic->sourceName(); });
    ASSERT_NE(device, manager.availableDevices().end());
    manager.selectDevice(*device);
    const QString now = test::run(QStringLiteral("pactl"), {QStringLiteral("get-default-source")}).trimmed();
    const auto reported = devices.defaultSourceName();
    // Put the shared default back before asserting anything.
    test::run(QStringLiteral("pactl"), {QStringLiteral("set-default-source"), previous});
    EXPECT_EQ(now, mic->sourceName());
    ASSERT_TRUE(reported);
    EXPECT_EQ(reported.value(), mic->sourceName());
    EXPECT_TRUE(devices.setDefaultSource(QStringLiteral("no_such_source")).has_value());
}

// What the recorder does with a failing capture and an unknown permission is
// AudioRecorderTest's; here, what a connection without a server reports.
TEST_F(AudioIntegrationTest, WithoutAServerStartFailsCleanly)
{
    PulseConnection nowhere("Velnor tests", "unix:" + QFile::encodeName(dir.filePath(QStringLiteral("no-daemon"))));
    PulseAudioDevices noDevices(nowhere);
    PulseMicrophonePermission noPermission(nowhere, scheduler);
    ASSERT_TRUE(test::waitUntil([&] { return nowhere.isSettled(); }, 5000));
    // No server is not a refusal: not known, with the reason, and tried.
    EXPECT_EQ(noPermission.status(), MicrophonePermission::Status::NotDetermined);
    EXPECT_TRUE(noPermission.reason().startsWith(QStringLiteral("PulseAudio 服务器不可用: "))) << noPermission.reason().toStdString();
    EXPECT_FALSE(noDevices.sources());
    EXPECT_TRUE(PulseAudioCapture(nowhere).start(512, [](const AudioBuffer&) {}).has_value());
}

// The start sound, from the app's resources, through the app's connection to
// the server's default output (whose monitor we record).
TEST_F(AudioIntegrationTest, StartSoundReachesTheDefaultOutput)
{
    const QString sink = test::run(QStringLiteral("pactl"), {QStringLiteral("get-default-sink")}).trimmed();
    ASSERT_FALSE(sink.isEmpty());
    PulseAudioCapture monitor(connection, sink + QStringLiteral(".monitor"));
    std::atomic<float> peak{0.0f};
    ASSERT_EQ(monitor.start(1024, [&](const AudioBuffer& buffer) { peak = std::max(peak.load(), AudioLevels::peak(buffer)); }),
              std::nullopt);
    PulseSoundOutput output(connection);
    AudioPlayer player(log.logger(), output);
    player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 1.0f);
    test::runEventLoopFor(1500);
    monitor.stop();
    EXPECT_TRUE(log.linesWith(QStringLiteral("[ERROR]")).isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(peak.load(), 0.3f); // the sound peaks at 0.5
}

// The app's one connection outlives its server. Frozen, it never holds up a
// start or the start sound (which plays at every key-down, on the GUI
// thread); dying, it leaves a playable file; back on the same address, it
// records and plays again without a new connection.
TEST_F(AudioIntegrationTest, AStoppedSoundServerNeverHoldsUpTheStartSound)
{
    PrivateDaemon daemon(dir.path());
    ASSERT_TRUE(daemon.start());
    PulseConnection own("Velnor tests", daemon.server());
    PulseAudioDevices ownDevices(own);
    PulseMicrophonePermission ownPermission(own, scheduler);
    ASSERT_TRUE(test::waitUntil([&] { return hasSource(own, QStringLiteral("doomed_input")); }, 5000));
    auto recorder = makeRecorder(own, QStringLiteral("doomed_input"), ownDevices, ownPermission);
    PulseSoundOutput output(own);
    AudioPlayer player(log.logger(), output);

    daemon.signal(SIGSTOP);
    QElapsedTimer keyDown;
    keyDown.start();
    for (int press = 0; press < 3; ++press)
        player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 1.0f);
    // Blocked, this takes seconds (or forever); handed over, it takes microseconds.
    EXPECT_LT(keyDown.elapsed(), 100);
    const bool startedWhileFrozen = recorder->startRecording(dir.filePath(QStringLiteral("frozen.m4a")));
    daemon.signal(SIGCONT);
    ASSERT_TRUE(startedWhileFrozen);
    ASSERT_TRUE(framesArrive(24000)) << "the audio comes once the server runs again";
    player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 1.0f);
    test::runEventLoopFor(500);
    EXPECT_TRUE(log.linesWith(QStringLiteral("[ERROR]")).isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();

    // Dying mid-recording: the stream reports it, stop() finalises the file.
    daemon.stop();
    EXPECT_TRUE(test::waitUntil([&] { return failures > 0; }, 5000));
    const qint64 beforeStop = frames.load();
    recorder->stopRecording();
    const test::DecodedAudio file = test::decodeAudioFile(dir.filePath(QStringLiteral("frozen.m4a")));
    ASSERT_TRUE(file.opened);
    EXPECT_NEAR(double(file.firstChannel.size()), double(frames.load()), 2048.0);
    EXPECT_GE(frames.load(), beforeStop);
    EXPECT_FALSE(ownDevices.sources());

    ASSERT_TRUE(daemon.start());
    ASSERT_TRUE(test::waitUntil([&] { return hasSource(own, QStringLiteral("doomed_input")); }, 10000));
    frames = 0;
    ASSERT_TRUE(recorder->startRecording(dir.filePath(QStringLiteral("again.m4a"))));
    EXPECT_TRUE(framesArrive(24000));
    recorder->stopRecording();
    EXPECT_EQ(ownPermission.status(), MicrophonePermission::Status::Authorized);
}

// No microphone yet is "not known" with its reason, not a refusal: the
// real-time path tries as the file recorder does, and a microphone plugged
// in later is reported at once.
TEST_F(AudioIntegrationTest, AMicrophonePluggedInLaterIsReportedAndNeverWasRefused)
{
    PrivateDaemon daemon(dir.path());
    ASSERT_TRUE(daemon.start(false));
    PulseConnection own("Velnor tests", daemon.server());
    PulseMicrophonePermission ownPermission(own, scheduler);
    ASSERT_TRUE(test::waitUntil([&] { return own.snapshot().ok(); }, 5000));
    EXPECT_EQ(ownPermission.status(), MicrophonePermission::Status::NotDetermined);
    EXPECT_EQ(ownPermission.reason(), QStringLiteral("没有可用的麦克风"));
    std::optional<bool> granted;
    ownPermission.request([&granted](bool answer) { granted = answer; });
    scheduler.advanceBy(PulseMicrophonePermission::AnswerTimeout);
    EXPECT_EQ(granted, true) << "the real-time path tries, as the file recorder does";

    std::optional<MicrophonePermission::Status> reported;
    ownPermission.setStatusObserver([&reported](MicrophonePermission::Status status) { reported = status; });
    ASSERT_TRUE(daemon.addMicrophone());
    EXPECT_TRUE(test::waitUntil([&] { return reported == MicrophonePermission::Status::Authorized; }, 5000));
    EXPECT_EQ(ownPermission.reason(), QString());
}

} // namespace
} // namespace velnor
