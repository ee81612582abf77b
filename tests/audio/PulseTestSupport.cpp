#include "PulseTestSupport.h"

#include "support/SpeechFixtures.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <atomic>
#include <cmath>
#include <cstring>

namespace velnor::test {

namespace {

std::atomic<int> g_counter{0};

} // namespace

bool VirtualMicrophone::serverConfigured()
{
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER");
}

QString VirtualMicrophone::pactl(const QStringList& arguments, bool* ok)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    const bool finished = process.waitForFinished(10000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

VirtualMicrophone::VirtualMicrophone()
    : m_sink(QStringLiteral("velnor_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(g_counter++))
{
    if (!serverConfigured())
        return;
    bool ok = false;
    const QString sinkModule = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                      QStringLiteral("sink_name=") + m_sink, QStringLiteral("format=float32le"),
                                      QStringLiteral("rate=48000"), QStringLiteral("channels=1")},
                                     &ok);
    if (!ok)
        return;
    m_modules.append(sinkModule);
    const QString remapModule = pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                                       QStringLiteral("source_name=") + sourceName(),
                                       QStringLiteral("master=") + m_sink + QStringLiteral(".monitor"),
                                       QStringLiteral("source_properties=device.description=Velnor-Test-Microphone")},
                                      &ok);
    if (!ok)
        return;
    m_modules.append(remapModule);
    // A null sink with nothing playing delivers nothing; low-latency silence
    // keeps it ticking in small blocks.
    m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_silence.start(QStringLiteral("pacat"),
                    {QStringLiteral("--playback"), QStringLiteral("--device=") + m_sink, QStringLiteral("--rate=48000"),
                     QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"), QStringLiteral("--latency-msec=10")});
    m_ready = m_silence.waitForStarted(5000);
}

VirtualMicrophone::~VirtualMicrophone()
{
    if (m_silence.state() != QProcess::NotRunning) {
        m_silence.kill();
        m_silence.waitForFinished(5000);
    }
    for (auto it = m_modules.crbegin(); it != m_modules.crend(); ++it)
        pactl({QStringLiteral("unload-module"), *it});
}

bool VirtualMicrophone::play(const QString& wavPath) const
{
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--device=") + m_sink, wavPath});
    return player.waitForFinished(30000) && player.exitCode() == 0;
}

SpeechFixture makeSpeech(const QString& dir, const QString& text)
{
    SpeechFixture fixture;
    fixture.wavPath = dir + QStringLiteral("/speech.wav");
    const QString rawPath = dir + QStringLiteral("/speech.f32");
    SpeechFixtures speech(dir);
    QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-R"), speech.wav(text), QStringLiteral("-r"),
                                              QStringLiteral("48000"), QStringLiteral("-c"), QStringLiteral("1"),
                                              QStringLiteral("-e"), QStringLiteral("floating-point"),
                                              QStringLiteral("-b"), QStringLiteral("32"), fixture.wavPath});
    QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-R"), fixture.wavPath, QStringLiteral("-t"),
                                              QStringLiteral("raw"), rawPath});
    QFile raw(rawPath);
    if (raw.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = raw.readAll();
        fixture.samples.resize(size_t(bytes.size()) / sizeof(float));
        std::memcpy(fixture.samples.data(), bytes.constData(), fixture.samples.size() * sizeof(float));
    }
    return fixture;
}

std::vector<double> energyEnvelope(const std::vector<float>& samples, int sampleRate)
{
    const size_t window = size_t(sampleRate / 100);
    std::vector<double> envelope;
    for (size_t start = 0; start + window <= samples.size(); start += window) {
        double sum = 0.0;
        for (size_t i = start; i < start + window; ++i)
            sum += double(samples[i]) * double(samples[i]);
        envelope.push_back(std::sqrt(sum / double(window)));
    }
    return envelope;
}

double bestEnvelopeCorrelation(const std::vector<double>& reference, const std::vector<double>& signal)
{
    const size_t n = reference.size();
    if (n == 0 || signal.size() < n)
        return 0.0;
    double refMean = 0.0;
    for (double v : reference)
        refMean += v;
    refMean /= double(n);
    double best = -1.0;
    for (size_t offset = 0; offset + n <= signal.size(); ++offset) {
        double sigMean = 0.0;
        for (size_t i = 0; i < n; ++i)
            sigMean += signal[offset + i];
        sigMean /= double(n);
        double cross = 0.0, refVar = 0.0, sigVar = 0.0;
        for (size_t i = 0; i < n; ++i) {
            const double a = reference[i] - refMean;
            const double b = signal[offset + i] - sigMean;
            cross += a * b;
            refVar += a * a;
            sigVar += b * b;
        }
        if (refVar > 0.0 && sigVar > 0.0)
            best = std::max(best, cross / std::sqrt(refVar * sigVar));
    }
    return best;
}

} // namespace velnor::test
