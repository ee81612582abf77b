#include "AudioTestSupport.h"

#include "audio/AudioLevels.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

using test::floatBuffer;

TEST(AudioLevels, UsesTheFirstChannelButPeakSeesAllChannelsAndOnlyFloats)
{
    // Interleaved stereo, 200 frames (every second one is read): left silent
    // on the frames read and quiet between them, right at -0.4.
    std::vector<float> stereo;
    for (int i = 0; i < 200; ++i) {
        stereo.push_back(i % 2 ? 0.1f : 0.0f);
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
