#include "AudioTestSupport.h"
#include "support/TempDir.h"

#include "audio/AudioPlayer.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

namespace velnor {
namespace {

struct Played {
    QUrl source;
    float volume = 0.0f;
};

TEST(AudioPlayer, FindsTheSoundAndFallsBackToItsWav)
{
    test::TempDir dir;
    test::CapturedOutput out;
    dir.writeFile(QStringLiteral("ber.wav"), QByteArray("RIFF"));
    dir.writeFile(QStringLiteral("tick.mov"), QByteArray("moov"));
    QList<Played> played;
    AudioPlayer player(out.logger, dir.path(), [&](const QUrl& url, float volume) { played.append({url, volume}); });

    player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 1.0f);
    player.playSound(QStringLiteral("tick"), QStringLiteral("mov"), 0.5f);
    ASSERT_EQ(played.size(), 2);
    EXPECT_EQ(played[0].source, QUrl::fromLocalFile(dir.filePath(QStringLiteral("ber.wav"))));
    EXPECT_FLOAT_EQ(played[0].volume, 1.0f);
    EXPECT_EQ(played[1].source, QUrl::fromLocalFile(dir.filePath(QStringLiteral("tick.mov"))));

    player.playSound(QStringLiteral("nope"), QStringLiteral("mov"), 1.0f);
    EXPECT_EQ(played.size(), 2);
    EXPECT_EQ(out.logged(QStringLiteral("[ERROR]")).filter(QStringLiteral("Audio file not found: nope.mov")).size(), 1);
}

// The shipped sound: a 16-bit PCM WAV whose last 200 ms are silent, because
// the platform player cuts the end of a sound.
TEST(AudioPlayer, ShippedSoundIsPaddedWav)
{
    QFile file(QStringLiteral(VELNOR_SOURCE_DIR "/resources/sounds/ber.wav"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("RIFF"));
    ASSERT_EQ(bytes.mid(8, 4), QByteArray("WAVE"));

    int rate = 0, channels = 0, bits = 0;
    QByteArray samples;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + at + 4);
        if (id == "fmt ") {
            channels = qFromLittleEndian<quint16>(bytes.constData() + at + 10);
            rate = int(qFromLittleEndian<quint32>(bytes.constData() + at + 12));
            bits = qFromLittleEndian<quint16>(bytes.constData() + at + 22);
        } else if (id == "data") {
            samples = bytes.mid(at + 8, qsizetype(size));
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    ASSERT_EQ(bits, 16);
    ASSERT_GT(rate, 0);
    ASSERT_GT(channels, 0);
    const qsizetype count = samples.size() / 2;
    const qsizetype tail = qsizetype(rate) * channels / 5; // 200 ms
    ASSERT_GT(count, 2 * tail);
    int loudest = 0, tailLoudest = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const int value = std::abs(int(qFromLittleEndian<qint16>(samples.constData() + 2 * i)));
        loudest = std::max(loudest, value);
        if (i >= count - tail)
            tailLoudest = std::max(tailLoudest, value);
    }
    EXPECT_GT(loudest, 8000);
    EXPECT_EQ(tailLoudest, 0);
}

} // namespace
} // namespace velnor
