#include "AudioTestSupport.h"

#include "platform/linux/audio/SwrResampler.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velnor {
namespace {

const AudioFormat Stereo48k{48000, 2, SampleType::Float32, true};
const AudioFormat Mono16k{16000, 1, SampleType::Int16, true};

// A sine of `hz` on every channel, continuing from frame `start`.
AudioBuffer sine(const AudioFormat& format, qint64 start, int frames, double hz, float amplitude = 0.5f)
{
    std::vector<float> samples;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < format.channelCount; ++c)
            samples.push_back(amplitude * float(std::sin(2.0 * M_PI * hz * double(start + f) / format.sampleRate)));
    return test::floatBuffer(samples, format.channelCount, format.sampleRate);
}

std::vector<qint16> int16Samples(const AudioBuffer& buffer)
{
    std::vector<qint16> samples(size_t(buffer.frameCount()));
    std::memcpy(samples.data(), buffer.data.constData(), samples.size() * sizeof(qint16));
    return samples;
}

TEST(SwrResampler, CountsNeverDriftOverAStreamOfSmallBuffers)
{
    for (const int rate : {48000, 44100, 22050, 96000}) {
        const AudioFormat from{rate, 1, SampleType::Float32, true};
        auto resampler = SwrResampler::create(from, Mono16k);
        ASSERT_TRUE(resampler) << rate;
        qint64 in = 0;
        qint64 out = 0;
        for (int i = 0; i < 400; ++i) {
            const auto converted = resampler->convert(sine(from, in, 512, 300.0));
            ASSERT_TRUE(converted);
            in += 512;
            out += converted->frameCount();
            // Truncation is per stream, never accumulated per buffer.
            ASSERT_EQ(out, in * 16000 / rate) << rate << " buffer " << i;
        }
    }
}

TEST(SwrResampler, StereoToMonoGivesExactlyTheRatioOfFramesAndKeepsTheToneAndItsLevel)
{
    auto resampler = SwrResampler::create(Stereo48k, Mono16k);
    ASSERT_TRUE(resampler);
    std::vector<qint16> samples;
    for (int i = 0; i < 20; ++i) {
        const auto out = resampler->convert(sine(Stereo48k, qint64(i) * 4800, 4800, 1000.0));
        ASSERT_TRUE(out);
        ASSERT_EQ(out->format, Mono16k);
        ASSERT_EQ(out->frameCount(), 1600) << i; // from the first buffer on
        const auto chunk = int16Samples(*out);
        samples.insert(samples.end(), chunk.begin(), chunk.end());
    }
    // Skip the start-up, then count rising zero crossings over one second.
    int crossings = 0;
    double sumSquares = 0.0;
    for (size_t i = 16000; i < 32000; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0)
            ++crossings;
        sumSquares += double(samples[i]) * samples[i];
    }
    EXPECT_NEAR(crossings, 1000, 2);
    const double rms = std::sqrt(sumSquares / 16000.0) / 32768.0;
    EXPECT_NEAR(rms, 0.5 / std::sqrt(2.0), 0.02); // both channels equal: the mix keeps the level
}

TEST(SwrResampler, ReadsPlanarInputAndRejectsOtherFormats)
{
    const AudioFormat planar{48000, 2, SampleType::Float32, false};
    auto resampler = SwrResampler::create(planar, Mono16k);
    ASSERT_TRUE(resampler);
    // Left block loud, right block silent: the mono mix is half the level.
    std::vector<float> blocks(960, 0.8f);
    blocks.resize(1920, 0.0f);
    AudioBuffer buffer = test::floatBuffer(blocks, 2);
    buffer.format = planar;
    std::optional<AudioBuffer> out;
    for (int i = 0; i < 5; ++i)
        out = resampler->convert(buffer);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->frameCount(), 320);
    const auto samples = int16Samples(*out);
    EXPECT_NEAR(samples[100] / 32768.0, 0.4, 0.05);

    EXPECT_FALSE(resampler->convert(sine(Stereo48k, 0, 480, 440.0)));
    EXPECT_FALSE(SwrResampler::create(AudioFormat{}, Mono16k));
}

} // namespace
} // namespace velnor
