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

// A daemon of our own on a private socket, that a test may freeze, kill and
// start again. What is played into its output `doomed` comes out of its
// microphone `doomed_input` (the output's monitor as an ordinary source).
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
    QString serverOption() const { return QStringLiteral("--server=") + QString::fromUtf8(server()); }

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
        // Started once it answers (a killed daemon leaves its socket behind).
        if (!m_daemon.waitForStarted(5000) || !test::waitUntil([&] {
                bool ok = false;
                pactl({QStringLiteral("info")}, &ok);
                return ok;
            }, 10000))
            return false;
        // A null sink with nothing playing delivers nothing; low-latency
        // silence keeps it ticking in small blocks.
        m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
        m_silence.start(QStringLiteral("pacat"),
                        QStringList{serverOption()}
                            + QStringLiteral("--playback --device=doomed --format=s16le --rate=48000 --channels=1 --latency-msec=10").split(' '));
        return m_silence.waitForStarted(5000);
    }

    void signal(int number) const { ::kill(pid_t(m_daemon.processId()), number); }

    QString pactl(const QStringList& arguments, bool* ok = nullptr) const
    {
        return QString::fromUtf8(test::run(QStringLiteral("pactl"), QStringList{serverOption()} + arguments, ok, 5000).trimmed());
    }

    // Plugs the microphone in while the daemon runs.
    bool addMicrophone() const
    {
        bool ok = false;
        pactl(QStringList{QStringLiteral("load-module")} + kMicrophoneModule.split(' '), &ok);
        return ok;
    }

    void stop()
    {
        for (QProcess* process : {&m_silence, &m_daemon}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

private:
    QString m_dir;
    QProcess m_daemon;
    QProcess m_silence;
};

class AudioIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(daemonStarted);
        ASSERT_TRUE(test::waitUntil([&] { return hasSource(Microphone); }, 10000));
    }

    // Counts the frames a capture delivers, notes buffers of another size
    // than asked for and the loudest sample, passing everything through.
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
                m_test.peak = std::max(m_test.peak.load(), AudioLevels::peak(buffer));
                onBuffer(buffer);
            });
        }
        void stop() override { m_inner->stop(); }

    private:
        AudioIntegrationTest& m_test;
        std::unique_ptr<AudioCapture> m_inner;
    };

    bool hasSource(const QString& name) const
    {
        const auto snapshot = connection.snapshot();
        return snapshot && std::any_of(snapshot.value().sources.cbegin(), snapshot.value().sources.cend(),
                                       [&](const AudioSourceInfo& s) { return s.name == name; });
    }

    // A recorder on `source` (the default when empty) that counts the frames
    // it gets and the stream failures it hears.
    std::unique_ptr<AudioRecorder> makeRecorder(const QString& source)
    {
        AudioCaptureFactory capture = [this, source] {
            return std::make_unique<CountingCapture>(
                *this, std::make_unique<PulseAudioCapture>(connection, source, [this](const QString&) { ++failures; }));
        };
        return std::make_unique<AudioRecorder>(AudioRecorder::Dependencies{
            capture, FfmpegAacFileWriter::factory(), permission, devices, nullptr, settings, log.logger(), log.printSink()});
    }

    bool framesArrive(qint64 count)
    {
        return test::waitUntil([&] { return frames > count; }, 5000);
    }

    inline static const QString Microphone = QStringLiteral("doomed_input");
    test::TempDir dir;
    PrivateDaemon daemon{dir.path()};
    bool daemonStarted = daemon.start();
    test::LogCapture log;
    MemorySettingsStore settings;
    PulseConnection connection{"Velnor tests", daemon.server()};
    PulseAudioDevices devices{connection};
    ManualScheduler scheduler;
    PulseMicrophonePermission permission{connection, scheduler};
    std::atomic<qint64> frames{0};
    std::atomic<int> failures{0};
    std::atomic<int> oddBuffers{0};
    std::atomic<float> peak{0.0f};
};

// The selected microphone becomes the server's default source, and the
// recorder takes the default in buffers of the size it asks for and writes
// them into an AAC file that holds the speech.
TEST_F(AudioIntegrationTest, RecordsTheSelectedMicrophoneIntoAnAacFileThatHoldsTheSpeech)
{
    daemon.pactl({QStringLiteral("set-default-source"), QStringLiteral("doomed.monitor")});
    AudioInputManager manager(devices, settings, log.logger(), log.printSink());
    const auto device = std::find_if(manager.availableDevices().begin(), manager.availableDevices().end(),
                                     [&](const AudioInputDevice& d) { return d.id == Microphone; });
    ASSERT_NE(device, manager.availableDevices().end());
    manager.selectDevice(*device);
    EXPECT_EQ(daemon.pactl({QStringLiteral("get-default-source")}), Microphone);
    const auto reported = devices.defaultSourceName();
    ASSERT_TRUE(reported);
    EXPECT_EQ(reported.value(), Microphone);
    EXPECT_TRUE(devices.setDefaultSource(QStringLiteral("no_such_source")).has_value());

    auto recorder = makeRecorder(QString());
    // Speech from espeak-ng (deterministic: sox without dither) as 48 kHz mono float.
    const QString speechPath = dir.filePath(QStringLiteral("speech.wav"));
    QProcess::execute(QStringLiteral("sox"), QStringList{QStringLiteral("-R"), test::SpeechFixtures(dir.path()).wav(Sentence)}
                                                 + QStringLiteral("-r 48000 -c 1 -e floating-point -b 32 %1").arg(speechPath).split(' '));
    const std::vector<float> speech = test::decodeAudioFile(speechPath).firstChannel;
    ASSERT_GT(speech.size(), 48000u);
    std::atomic<int> levelCalls{0};
    recorder->setOnAudioSamplesReceived([&](const QVector<float>& levels) {
        EXPECT_LE(levels.size(), 100);
        ++levelCalls;
    });
    const QString path = dir.filePath(QStringLiteral("1765000000.5.m4a"));
    ASSERT_TRUE(recorder->startRecording(path));
    ASSERT_TRUE(framesArrive(0)) << "no audio from the microphone";
    bool played = false;
    test::run(QStringLiteral("paplay"), {daemon.serverOption(), QStringLiteral("--device=doomed"), speechPath}, &played, 30000);
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
    EXPECT_FALSE(log.linesWith(QStringLiteral("[AudioRecorder] 音频数据写入成功，峰值: ")).isEmpty());
}

// The app's one connection outlives its server. Frozen, it never holds up a
// start or the start sound (which plays at every key-down, on the GUI
// thread, from the app's resources to the default output); dying, it leaves a playable file and a microphone that is not
// known rather than refused; back on the same address without a microphone,
// the real-time path still tries, as the file recorder does, and a microphone
// plugged in later is reported at once and records.
TEST_F(AudioIntegrationTest, AStoppedSoundServerNeverHoldsUpTheStartSound)
{
    auto recorder = makeRecorder(Microphone);
    PulseSoundOutput output(connection);
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
    test::runEventLoopFor(1500);
    EXPECT_TRUE(log.linesWith(QStringLiteral("[ERROR]")).isEmpty()) << log.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(peak.load(), 0.3f) << "the microphone hears the output, where the sound peaks at 0.5";

    // Dying mid-recording: the stream reports it, stop() finalises the file.
    daemon.stop();
    EXPECT_TRUE(test::waitUntil([&] { return failures > 0; }, 5000));
    const qint64 beforeStop = frames.load();
    recorder->stopRecording();
    const test::DecodedAudio file = test::decodeAudioFile(dir.filePath(QStringLiteral("frozen.m4a")));
    ASSERT_TRUE(file.opened);
    EXPECT_NEAR(double(file.firstChannel.size()), double(frames.load()), 2048.0);
    EXPECT_GE(frames.load(), beforeStop);
    EXPECT_FALSE(devices.sources());
    EXPECT_EQ(permission.status(), MicrophonePermission::Status::NotDetermined);
    EXPECT_TRUE(permission.reason().startsWith(QStringLiteral("PulseAudio 服务器不可用: "))) << permission.reason().toStdString();
    EXPECT_TRUE(PulseAudioCapture(connection).start(512, [](const AudioBuffer&) {}).has_value());

    ASSERT_TRUE(daemon.start(false));
    ASSERT_TRUE(test::waitUntil([&] { return connection.snapshot().ok(); }, 10000));
    EXPECT_EQ(permission.status(), MicrophonePermission::Status::NotDetermined);
    EXPECT_EQ(permission.reason(), QStringLiteral("没有可用的麦克风"));
    std::optional<bool> granted;
    permission.request([&granted](bool answer) { granted = answer; });
    scheduler.advanceBy(PulseMicrophonePermission::AnswerTimeout);
    EXPECT_EQ(granted, true) << "the real-time path tries, as the file recorder does";
    std::optional<MicrophonePermission::Status> reported;
    permission.setStatusObserver([&reported](MicrophonePermission::Status status) { reported = status; });
    ASSERT_TRUE(daemon.addMicrophone());
    EXPECT_TRUE(test::waitUntil([&] { return reported == MicrophonePermission::Status::Authorized; }, 5000));
    EXPECT_EQ(permission.reason(), QString());
    ASSERT_TRUE(test::waitUntil([&] { return hasSource(Microphone); }, 10000));
    frames = 0;
    ASSERT_TRUE(recorder->startRecording(dir.filePath(QStringLiteral("again.m4a"))));
    EXPECT_TRUE(framesArrive(24000));
    recorder->stopRecording();
}

} // namespace
} // namespace velnor
