#include "AudioTestSupport.h"

#include "audio/AudioLevels.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

using test::floatBuffer;

// 1024 frames: step 10, levels from frames 0, 10, … 990; fewer than 100
// frames: one level per frame, in order.
TEST(AudioLevels, DecimatesEveryStepthFrameOfTheFirstChannel)
{
    std::vector<float> onGrid(1024, 0.0f);
    for (int i = 0; i < 100; ++i)
        onGrid[size_t(i * 10)] = float(i) * 0.0005f;
    std::vector<float> offGrid(1024, 0.5f);
    for (size_t i = 0; i < offGrid.size(); i += 10)
        offGrid[i] = 0.0f;
    std::vector<float> shortBuffer(60);
    for (size_t i = 0; i < shortBuffer.size(); ++i)
        shortBuffer[i] = float(i) * 0.001f;
    for (const auto& [samples, count, step] : {std::tuple{onGrid, 100, 10}, {offGrid, 100, 10}, {shortBuffer, 60, 1}}) {
        const QVector<float> levels = AudioLevels::reduce(floatBuffer(samples, 1));
        ASSERT_EQ(levels.size(), count);
        for (int i = 0; i < count; ++i)
            EXPECT_FLOAT_EQ(levels[i], AudioLevels::levelFor(samples[size_t(i * step)])) << i;
    }
}

TEST(AudioLevels, UsesTheFirstChannelButPeakSeesAllChannelsAndOnlyFloats)
{
    // Interleaved stereo: left silent, right at -0.4.
    std::vector<float> stereo;
    for (int i = 0; i < 200; ++i) {
        stereo.push_back(0.0f);
        stereo.push_back(-0.4f);
    }
    const AudioBuffer buffer = floatBuffer(stereo, 2);
    const QVector<float> levels = AudioLevels::reduce(buffer);
    ASSERT_EQ(levels.size(), 100);
    for (float level : levels)
        EXPECT_FLOAT_EQ(level, 0.0f);
    EXPECT_FLOAT_EQ(AudioLevels::peak(buffer), 0.4f);

    // Planar layout: the first block is channel 0.
    std::vector<float> blocks(200, 0.2f);
    blocks.resize(400, 0.0f);
    AudioBuffer planar = floatBuffer(blocks, 2);
    planar.format.interleaved = false;
    EXPECT_FLOAT_EQ(AudioLevels::reduce(planar).front(), 1.0f);

    // Empty or integer buffers give nothing.
    EXPECT_TRUE(AudioLevels::reduce(floatBuffer({}, 1)).isEmpty());
    EXPECT_FLOAT_EQ(AudioLevels::peak(floatBuffer({}, 1)), 0.0f);
    AudioBuffer ints;
    ints.format = AudioFormat{16000, 1, SampleType::Int16, true};
    ints.data = QByteArray(640, '\x7f');
    EXPECT_TRUE(AudioLevels::reduce(ints).isEmpty());
    EXPECT_FLOAT_EQ(AudioLevels::peak(ints), 0.0f);
}

} // namespace
} // namespace velnor
