#include "AudioTestSupport.h"
#include "support/TempDir.h"

#include "audio/AudioPlayer.h"
#include "audio/WavData.h"
#include "platform/SoundOutput.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace velnor {
namespace {

QByteArray wavBytes(quint16 tag, quint16 channels, quint32 rate, quint16 bits, const QByteArray& data,
                    const QByteArray& extraChunk = {})
{
    QByteArray fmt(16, '\0');
    qToLittleEndian<quint16>(tag, fmt.data());
    qToLittleEndian<quint16>(channels, fmt.data() + 2);
    qToLittleEndian<quint32>(rate, fmt.data() + 4);
    qToLittleEndian<quint16>(bits, fmt.data() + 14);
    const auto chunk = [](const char* id, const QByteArray& body) {
        QByteArray out(id, 4);
        QByteArray size(4, '\0');
        qToLittleEndian<quint32>(quint32(body.size()), size.data());
        out += size + body;
        if (body.size() % 2)
            out += '\0';
        return out;
    };
    return chunk("RIFF", QByteArray("WAVE") + chunk("fmt ", fmt) + extraChunk + chunk("data", data));
}

// Records what would have been played, and at which volume.
class RecordingSoundOutput final : public SoundOutput {
public:
    std::optional<QString> play(const AudioBuffer& sound, float volume) override
    {
        played.append({sound, volume});
        return failure;
    }
    QList<std::pair<AudioBuffer, float>> played;
    std::optional<QString> failure;
};

TEST(AudioPlayer, FindsTheSoundFallsBackToItsWavAndPlaysItsSamples)
{
    test::TempDir dir;
    test::LogCapture log;
    const QByteArray samples(400, '\x02');
    dir.writeFile(QStringLiteral("ber.wav"), wavBytes(1, 2, 48000, 16, samples));
    dir.writeFile(QStringLiteral("tick.mov"), QByteArray("moov"));
    RecordingSoundOutput output;
    AudioPlayer player(log.logger(), output, dir.path());

    player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 0.5f);
    ASSERT_EQ(output.played.size(), 1);
    EXPECT_EQ(output.played[0].first.format, (AudioFormat{48000, 2, SampleType::Int16, true}));
    EXPECT_EQ(output.played[0].first.data, samples);
    EXPECT_FLOAT_EQ(output.played[0].second, 0.5f);

    // A file of the asked-for extension wins; it is no WAV here, which is said.
    player.playSound(QStringLiteral("tick"), QStringLiteral("mov"), 1.0f);
    player.playSound(QStringLiteral("nope"), QStringLiteral("mov"), 1.0f);
    EXPECT_EQ(output.played.size(), 1);
    EXPECT_EQ(log.linesWith(QStringLiteral("[ERROR]")).filter(QStringLiteral("Audio file not found: nope.mov")).size(), 1);
    EXPECT_EQ(log.linesWith(QStringLiteral("[ERROR]")).filter(QStringLiteral("Failed to play audio from URL")).size(), 1);

    output.failure = QStringLiteral("Connection refused");
    player.playSound(QStringLiteral("ber"), QStringLiteral("wav"), 1.0f);
    EXPECT_EQ(log.linesWith(QStringLiteral("Failed to play audio from URL: Connection refused")).size(), 1);
}

TEST(WavData, ReadsFormatsSkipsOtherChunksAndRejectsJunk)
{
    // An odd-sized chunk before the data must be skipped with its pad byte.
    QByteArray list("LIST\x03\0\0\0abc\0", 12);
    const auto wav = WavData::parse(wavBytes(3, 2, 44100, 32, QByteArray(8 * 10 + 3, '\x01'), list));
    ASSERT_TRUE(wav);
    EXPECT_TRUE(wav->isFloat);
    EXPECT_EQ(wav->channelCount, 2);
    EXPECT_EQ(wav->sampleRate, 44100);
    EXPECT_EQ(wav->samples.size(), 80); // a partial frame at the end is dropped

    QByteArray truncated = wavBytes(1, 1, 8000, 16, QByteArray(100, '\0'));
    truncated.chop(50);
    // Not a WAVE file, 8-bit, ADPCM, cut short.
    for (const QByteArray& junk : {QByteArray("moov but not a wave file"), wavBytes(1, 1, 8000, 8, QByteArray(10, '\0')),
                                   wavBytes(2, 1, 8000, 16, QByteArray(10, '\0')), truncated}) {
        QString error;
        EXPECT_FALSE(WavData::parse(junk, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

} // namespace
} // namespace velnor
