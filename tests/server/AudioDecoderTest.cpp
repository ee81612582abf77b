#include "audio/AudioDecoder.h"

#include <QtEndian>

#include <cmath>
#include <numeric>

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

// A PCM WAV file of a 440 Hz tone.
QByteArray toneWav(int rate, int channels, double seconds)
{
    const int frames = static_cast<int>(rate * seconds);
    QByteArray data;
    for (int i = 0; i < frames; ++i) {
        const auto sample = static_cast<qint16>(12000 * std::sin(2 * M_PI * 440 * i / rate));
        for (int c = 0; c < channels; ++c)
            data.append(reinterpret_cast<const char*>(&sample), 2);   // little-endian host
    }
    const auto u32 = [](quint32 v) { QByteArray b(4, '\0'); qToLittleEndian(v, b.data()); return b; };
    const auto u16 = [](quint16 v) { QByteArray b(2, '\0'); qToLittleEndian(v, b.data()); return b; };
    return "RIFF" + u32(36 + data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(channels) + u32(rate)
        + u32(rate * channels * 2) + u16(channels * 2) + u16(16) + "data" + u32(data.size()) + data;
}

TEST(AudioDecoder, ResamplesAnyRateAndLayoutTo16kMonoAndRefusesWhatItShouldNotDecode)
{
    for (const auto& [rate, channels] : {std::pair{44100, 2}, std::pair{8000, 1}, std::pair{48000, 6}}) {
        QString error;
        const auto samples = AudioDecoder::decode(toneWav(rate, channels, 1.0), {10}, &error);
        ASSERT_TRUE(samples) << rate << "/" << channels << ": " << error.toStdString();
        EXPECT_NEAR(static_cast<double>(samples->size()), 16000.0, 160.0) << rate << "/" << channels;
        const double rms =
            std::sqrt(std::inner_product(samples->begin(), samples->end(), samples->begin(), 0.0) / samples->size());
        EXPECT_GT(rms, 4000) << "the tone survives the down-mix";
    }

    const QByteArray twoSeconds = toneWav(16000, 1, 2.0);
    const struct {
        const char* what;
        QByteArray bytes;
        AudioDecoder::Limits limits;
        const char* reason = "";
    } cases[] = {
        {"empty", QByteArray(), {10}},
        {"not audio", QByteArray("{\"this\": \"is json, not audio\"}").repeated(100), {10}},
        {"a header without samples", toneWav(16000, 1, 0.5).left(44), {10}},
        {"longer than allowed", twoSeconds, {1.0}, "too long"},
        {"decoding past its deadline", twoSeconds, {10, 0}, "decoding took too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(AudioDecoder::decode(c.bytes, c.limits, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(AudioDecoder::decode(twoSeconds, {10, 5000}, &error)) << error.toStdString();
}

} // namespace
} // namespace velnor::server
