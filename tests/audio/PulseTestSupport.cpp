#include "PulseTestSupport.h"

#include "audio/WavData.h"
#include "support/SpeechFixtures.h"

#include <QCoreApplication>
#include <QFile>

#include <atomic>
#include <cmath>
#include <cstring>
#include <numeric>

namespace velnor::test {

namespace {

std::atomic<int> g_counter{0};

// Space-separated words; no argument here holds a space.
QStringList words(const QString& line)
{
    return line.split(QLatin1Char(' '));
}

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
    for (const QString& module :
         {QStringLiteral("module-null-sink sink_name=%1 format=float32le rate=48000 channels=1").arg(m_sink),
          QStringLiteral("module-remap-source source_name=%1 master=%2.monitor "
                         "source_properties=device.description=Velnor-Test-Microphone")
              .arg(sourceName(), m_sink)}) {
        bool ok = false;
        const QString index = pactl(QStringList{QStringLiteral("load-module")} + words(module), &ok);
        if (!ok)
            return;
        m_modules.append(index);
    }
    // A null sink with nothing playing delivers nothing; low-latency silence
    // keeps it ticking in small blocks.
    m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_silence.start(QStringLiteral("pacat"),
                    words(QStringLiteral("--playback --device=%1 --rate=48000 --channels=1 --format=s16le --latency-msec=10").arg(m_sink)));
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
    SpeechFixtures speech(dir);
    QProcess::execute(QStringLiteral("sox"), QStringList{QStringLiteral("-R"), speech.wav(text)}
                                                 + words(QStringLiteral("-r 48000 -c 1 -e floating-point -b 32 ") + fixture.wavPath));
    QFile file(fixture.wavPath);
    const auto wav = file.open(QIODevice::ReadOnly) ? WavData::parse(file.readAll()) : std::nullopt;
    if (wav && wav->isFloat) {
        fixture.samples.resize(size_t(wav->samples.size()) / sizeof(float));
        std::memcpy(fixture.samples.data(), wav->samples.constData(), fixture.samples.size() * sizeof(float));
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
    const double refMean = std::accumulate(reference.cbegin(), reference.cend(), 0.0) / double(n);
    double best = -1.0;
    for (size_t offset = 0; offset + n <= signal.size(); ++offset) {
        const double sigMean = std::accumulate(signal.cbegin() + qsizetype(offset), signal.cbegin() + qsizetype(offset + n), 0.0) / double(n);
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
