#include "AudioTestSupport.h"
#include "support/TempDir.h"

#include "audio/AudioPlayer.h"
#include "platform/SoundOutput.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace velnor {
namespace {

QByteArray wavBytes(quint16 tag, quint16 channels, quint32 rate, quint16 bits, const QByteArray& data)
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
        return out + size + body;
    };
    return chunk("RIFF", QByteArray("WAVE") + chunk("fmt ", fmt) + chunk("data", data));
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

} // namespace
} // namespace velnor
