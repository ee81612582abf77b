// Usage: audio_bench [seconds-of-audio] | audio_bench latency [runs]
// Pins itself (and the ffmpeg runs) to one core and prints × real time for
// AAC encoding and 16 kHz resampling, ours beside the ffmpeg CLI doing the
// same conversion, then the startRecording-to-first-sample latency of a recording
// when PULSE_SERVER is set.
#include "audio/AudioRecorder.h"
#include "config/MemorySettingsStore.h"
#include "core/Clock.h"
#include "core/ManualScheduler.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/audio/PulseAudioDevices.h"
#include "platform/linux/audio/PulseConnection.h"
#include "platform/linux/audio/PulseMicrophonePermission.h"
#include "platform/linux/audio/SwrResampler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

using namespace velnor;

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Speech-like test signal: voiced bursts (harmonics of a gliding pitch)
// between pauses, with a little noise. Interleaved float.
QByteArray makeSignal(const AudioFormat& format, double seconds)
{
    std::mt19937 random(42);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    const qint64 frames = qint64(seconds * format.sampleRate);
    QByteArray data(frames * format.bytesPerFrame(), Qt::Uninitialized);
    auto* out = reinterpret_cast<float*>(data.data());
    double phase = 0.0;
    for (qint64 f = 0; f < frames; ++f) {
        const double t = double(f) / format.sampleRate;
        const double pitch = 120.0 + 40.0 * std::sin(2.0 * M_PI * 0.7 * t);
        phase += 2.0 * M_PI * pitch / format.sampleRate;
        const double gate = std::fmod(t, 0.8) < 0.5 ? 1.0 : 0.0;
        double voiced = 0.0;
        for (int h = 1; h <= 12; ++h)
            voiced += std::sin(double(h) * phase) / double(h);
        const float value = float(0.2 * gate * voiced) + noise(random);
        for (int c = 0; c < format.channelCount; ++c)
            out[f * format.channelCount + c] = value;
    }
    return data;
}

struct Timing {
    double wall = 0.0;
    double cpu = 0.0;
};

Timing runFfmpeg(const QStringList& arguments)
{
    const double cpuBefore = childrenCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral("taskset"), QStringList{QStringLiteral("-c"), QStringLiteral("0"), QStringLiteral("ffmpeg"),
                                                         QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                                                         QStringLiteral("error"), QStringLiteral("-y"),
                                                         QStringLiteral("-threads"), QStringLiteral("1")}
                                                 + arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", process.readAllStandardError().constData());
        return {};
    }
    return {double(timer.nsecsElapsed()) / 1e9, childrenCpuSeconds() - cpuBefore};
}

QStringList rawInput(const AudioFormat& format, const QString& path)
{
    return {QStringLiteral("-f"), QStringLiteral("f32le"), QStringLiteral("-ar"), QString::number(format.sampleRate),
            QStringLiteral("-ac"), QString::number(format.channelCount), QStringLiteral("-i"), path};
}

void printRow(const char* what, double audioSeconds, const Timing& timing)
{
    // Both: the wall figure suffers when other work shares the core.
    std::printf("  %-44s %8.1f x real time by cpu, %8.1f by wall (cpu %.3f s, wall %.3f s)\n", what,
                audioSeconds / timing.cpu, audioSeconds / timing.wall, timing.cpu, timing.wall);
}

void benchConversions(double seconds)
{
    const AudioFormat format{48000, 2, SampleType::Float32, true};
    const QByteArray signal = makeSignal(format, seconds);
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("input.f32"));
    QFile file(raw);
    file.open(QIODevice::WriteOnly);
    file.write(signal);
    file.close();

    std::printf("Input: %.0f s of 48 kHz stereo float, one core (taskset -c 0)\n", seconds);
    // AAC: ours in 1024-frame buffers, as the recorder writes them.
    {
        const int bitRate = 192000;
        FfmpegAacFileWriter writer;
        QElapsedTimer timer;
        const double cpu = threadCpuSeconds();
        timer.start();
        writer.open(dir.filePath(QStringLiteral("ours.m4a")), format, bitRate);
        const qsizetype chunk = 1024 * format.bytesPerFrame();
        for (qsizetype at = 0; at < signal.size(); at += chunk)
            writer.write(AudioBuffer{format, signal.mid(at, chunk)});
        writer.finish();
        const Timing ours{double(timer.nsecsElapsed()) / 1e9, threadCpuSeconds() - cpu};
        printRow("AAC encode, FfmpegAacFileWriter", seconds, ours);
        const Timing cli = runFfmpeg(rawInput(format, raw)
                                     + QStringList{QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
                                                   QString::number(bitRate), QStringLiteral("-f"), QStringLiteral("ipod"),
                                                   dir.filePath(QStringLiteral("cli.m4a"))});
        printRow("AAC encode, ffmpeg CLI", seconds, cli);
    }
    // 16 kHz mono int16: ours in 512-frame buffers, as the real-time path.
    {
        auto resampler = SwrResampler::create(format, AudioFormat{16000, 1, SampleType::Int16, true});
        QElapsedTimer timer;
        const double cpu = threadCpuSeconds();
        timer.start();
        qint64 out = 0;
        const qsizetype chunk = 512 * format.bytesPerFrame();
        for (qsizetype at = 0; at < signal.size(); at += chunk)
            out += resampler->convert(AudioBuffer{format, signal.mid(at, chunk)})->frameCount();
        const Timing ours{double(timer.nsecsElapsed()) / 1e9, threadCpuSeconds() - cpu};
        printRow("16 kHz resample, SwrResampler (512-frame)", seconds, ours);
        const Timing cli = runFfmpeg(rawInput(format, raw)
                                     + QStringList{QStringLiteral("-ar"), QStringLiteral("16000"), QStringLiteral("-ac"),
                                                   QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("s16le"),
                                                   dir.filePath(QStringLiteral("cli.s16"))});
        printRow("16 kHz resample, ffmpeg CLI", seconds, cli);
        std::printf("  (ours produced %lld frames; the CLI times include process start-up)\n",
                    static_cast<long long>(out));
    }
}

// Decorates the real capture to note when its first buffer arrives.
class TimingCapture final : public AudioCapture {
public:
    TimingCapture(std::unique_ptr<AudioCapture> inner, std::atomic<qint64>& firstAt, const QElapsedTimer& timer)
        : m_inner(std::move(inner))
        , m_firstAt(firstAt)
        , m_timer(timer)
    {
    }
    bool isAvailable() const override { return m_inner->isAvailable(); }
    std::optional<AudioFormat> inputFormat() const override { return m_inner->inputFormat(); }
    std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override
    {
        return m_inner->start(framesPerBuffer, [this, onBuffer = std::move(onBuffer)](const AudioBuffer& buffer) {
            qint64 expected = 0;
            m_firstAt.compare_exchange_strong(expected, m_timer.nsecsElapsed());
            onBuffer(buffer);
        });
    }
    void stop() override { m_inner->stop(); }

private:
    std::unique_ptr<AudioCapture> m_inner;
    std::atomic<qint64>& m_firstAt;
    const QElapsedTimer& m_timer;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = std::min(values.size() - 1, size_t(std::ceil(p * double(values.size()))) - 1);
    return values[at];
}

// startRecording → first captured sample: the first buffer's arrival minus
// one buffer's duration (its first sample was captured that long before),
// plus how long startRecording holds the calling (GUI) thread.
void benchFirstSample(int runs)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        std::printf("startRecording to first sample: skipped (PULSE_SERVER not set; run via scripts/with-services.sh)\n");
        return;
    }
    ManualClock clock;
    SecretRedactor redactor;
    Logger log(QString(), clock, silentSink(), redactor);
    MemorySettingsStore settings;
    ManualScheduler scheduler;
    PulseConnection connection("Velnor bench");
    PulseAudioDevices devices(connection);
    PulseMicrophonePermission permission(connection, scheduler);
    const AudioCaptureFactory captureFactory = PulseAudioCapture::factory(connection);
    for (int waited = 0; !connection.snapshot() && waited < 5000; waited += 10)
        QThread::msleep(10);
    std::atomic<qint64> firstAt{0};
    QElapsedTimer timer;
    AudioCaptureFactory timed = [&]() -> std::unique_ptr<AudioCapture> {
        return std::make_unique<TimingCapture>(captureFactory(), firstAt, timer);
    };
    AudioRecorder recorder(AudioRecorder::Dependencies{timed, FfmpegAacFileWriter::factory(), permission, devices,
                                                       nullptr, settings, log, silentSink()});
    QTemporaryDir dir;
    std::vector<double> startCalls;
    std::vector<double> firstSamples;
    for (int run = 0; run < runs; ++run) {
        firstAt = 0;
        timer.start();
        const bool started = recorder.startRecording(dir.filePath(QStringLiteral("run.m4a")));
        const double startCall = double(timer.nsecsElapsed()) / 1e6;
        while (started && firstAt == 0 && timer.elapsed() < 5000)
            QThread::usleep(200);
        recorder.stopRecording();
        if (!started || firstAt == 0) {
            std::printf("startRecording to first sample: no buffer (run %d)\n", run);
            return;
        }
        // Interleaved float at the source's rate, AudioRecorder::FramesPerBuffer frames per buffer.
        const double bufferMs = 1000.0 * AudioRecorder::FramesPerBuffer / 48000.0;
        startCalls.push_back(startCall);
        firstSamples.push_back(double(firstAt.load()) / 1e6 - bufferMs);
    }
    std::printf("%d recordings of the default source (48 kHz):\n", runs);
    std::printf("  startRecording holds the caller:       median %6.2f ms, p99 %6.2f ms\n", percentile(startCalls, 0.5),
                percentile(startCalls, 0.99));
    std::printf("  startRecording to first captured sample: median %6.2f ms, p99 %6.2f ms\n",
                percentile(firstSamples, 0.5), percentile(firstSamples, 0.99));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    CPU_SET(0, &cpus);
    sched_setaffinity(0, sizeof(cpus), &cpus);
    // "audio_bench latency [runs]" measures only the start of a recording.
    if (argc > 1 && QByteArray(argv[1]) == "latency") {
        benchFirstSample(argc > 2 ? std::max(1, std::atoi(argv[2])) : 200);
        return 0;
    }
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60.0;
    benchConversions(seconds);
    benchFirstSample(200);
    return 0;
}
