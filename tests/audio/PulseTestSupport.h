#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <vector>

namespace velnor::test {

// The private PulseAudio daemon that scripts/with-services.sh starts, and a
// fresh virtual microphone per test (a null sink to play into, its monitor
// remapped as an ordinary source), so parallel tests never hear each other.
class VirtualMicrophone final {
public:
    VirtualMicrophone();
    ~VirtualMicrophone();
    VirtualMicrophone(const VirtualMicrophone&) = delete;
    VirtualMicrophone& operator=(const VirtualMicrophone&) = delete;

    // Whether the service script exported a server to talk to.
    static bool serverConfigured();
    // pactl with the given arguments; its standard output, trimmed.
    static QString pactl(const QStringList& arguments, bool* ok = nullptr);

    bool isReady() const { return m_ready; }
    QString sourceName() const { return m_sink + QStringLiteral("_input"); }

    // Plays a WAV file into the microphone and returns once it has played.
    bool play(const QString& wavPath) const;

private:
    QString m_sink;
    QStringList m_modules;
    QProcess m_silence;
    bool m_ready = false;
};

// Speech from espeak-ng (deterministic: klatt voice, sox without dither) as a
// 48 kHz mono WAV, and its samples.
struct SpeechFixture {
    QString wavPath;
    std::vector<float> samples;
};
SpeechFixture makeSpeech(const QString& dir, const QString& text);

// RMS per 10 ms window.
std::vector<double> energyEnvelope(const std::vector<float>& samples, int sampleRate);
// The best Pearson correlation of `reference` against `signal` over all
// offsets of the reference inside the signal.
double bestEnvelopeCorrelation(const std::vector<double>& reference, const std::vector<double>& signal);

} // namespace velnor::test
