#include "AudioTestSupport.h"
#include "DecodedAudio.h"
#include "support/TempDir.h"

#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/SwrResampler.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

#include <sys/stat.h>

namespace velnor {
namespace {

// A 440 Hz sine on every channel, continuing from frame `start`.
AudioBuffer sine(const AudioFormat& format, qint64 start, int frames)
{
    std::vector<float> samples;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < format.channelCount; ++c)
            samples.push_back(0.3f * float(std::sin(2.0 * M_PI * 440.0 * double(start + f) / format.sampleRate)));
    return test::floatBuffer(samples, format.channelCount, format.sampleRate);
}

// Whatever the umask says, and also over a file someone left readable; a
// writer destroyed while open finishes its file. More than eight channels
// need the frame's extended plane pointers.
TEST(FfmpegAacFileWriter, ARecordingIsTheUsersAloneFromItsFirstByteAndHoldsTheInputRateChannelsAndLength)
{
    const mode_t umaskBefore = ::umask(0);
    test::TempDir dir;
    const QString left = dir.writeFile(QStringLiteral("1765000001.5.m4a"), "old");
    QFile::setPermissions(left, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                    | QFileDevice::ReadOther);
    const auto groupOrOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    struct Case {
        AudioFormat format;
        QString path;
        bool finished;
    };
    for (const Case& c : {Case{{44100, 2, SampleType::Float32, true}, dir.filePath(QStringLiteral("1765000000.5.m4a")), true},
                          Case{{48000, 1, SampleType::Float32, true}, left, true},
                          Case{{16000, 16, SampleType::Float32, true}, dir.filePath(QStringLiteral("dropped.m4a")), false}}) {
        SCOPED_TRACE(c.path.toStdString());
        qint64 frames = 0;
        {
            FfmpegAacFileWriter writer;
            ASSERT_TRUE(writer.isAvailable());
            ASSERT_EQ(writer.open(c.path, c.format, 96000 * c.format.channelCount), std::nullopt);
            EXPECT_EQ(QFile::permissions(c.path) & groupOrOthers, 0) << "while it is written";
            // Odd-sized buffers: frames that do not fill an AAC frame must survive.
            for (int i = 0; i < 97; ++i) {
                const int size = 700 + (i % 5) * 111;
                ASSERT_EQ(writer.write(sine(c.format, frames, size)), std::nullopt);
                frames += size;
            }
            if (c.finished) {
                ASSERT_EQ(writer.finish(), std::nullopt);
                EXPECT_EQ(writer.finish(), std::nullopt);
            }
        }
        EXPECT_EQ(QFile::permissions(c.path) & groupOrOthers, 0);
        const test::DecodedAudio decoded = test::decodeAudioFile(c.path);
        ASSERT_TRUE(decoded.opened);
        EXPECT_EQ(decoded.codecName, QStringLiteral("aac"));
        EXPECT_EQ(decoded.sampleRate, c.format.sampleRate);
        EXPECT_EQ(decoded.channels, c.format.channelCount);
        EXPECT_NEAR(double(decoded.firstChannel.size()), double(frames), 1024.0);
        EXPECT_NEAR(decoded.containerSeconds, double(frames) / c.format.sampleRate, 1024.0 / c.format.sampleRate);
        // The tone comes back at its level.
        double sum = 0.0;
        for (size_t i = 4096; i < decoded.firstChannel.size() - 4096; ++i)
            sum += double(decoded.firstChannel[i]) * decoded.firstChannel[i];
        EXPECT_NEAR(std::sqrt(sum / double(decoded.firstChannel.size() - 8192)), 0.3 / std::sqrt(2.0), 0.02);
    }
    ::umask(umaskBefore);
}

TEST(FfmpegAacFileWriter, BadPathsAndBuffersAreErrorsNotCrashes)
{
    test::TempDir dir;
    const AudioFormat format{48000, 1, SampleType::Float32, true};
    FfmpegAacFileWriter writer;
    EXPECT_TRUE(writer.open(dir.filePath(QStringLiteral("missing/dir/x.m4a")), format, 0).has_value());
    EXPECT_TRUE(writer.write(sine(format, 0, 1024)).has_value());
    EXPECT_EQ(writer.finish(), std::nullopt);

    EXPECT_TRUE(writer.open(dir.filePath(QStringLiteral("y.m4a")), AudioFormat{48000, 1, SampleType::Int16, true}, 0)
                    .has_value());
    ASSERT_EQ(writer.open(dir.filePath(QStringLiteral("z.m4a")), format, 0), std::nullopt);
    EXPECT_TRUE(writer.write(sine(AudioFormat{44100, 1, SampleType::Float32, true}, 0, 1024)).has_value());
    EXPECT_EQ(writer.write(sine(format, 0, 2048)), std::nullopt);
    EXPECT_EQ(writer.finish(), std::nullopt);
    EXPECT_TRUE(test::decodeAudioFile(dir.filePath(QStringLiteral("z.m4a"))).opened);
}

const AudioFormat Mono16k{16000, 1, SampleType::Int16, true};

// Pitch and level are heard by the speech tests, which resample espeak-ng's
// audio for the recogniser; a count off by a frame is not.
TEST(SwrResampler, StereoToMonoCountsNeverDrift)
{
    for (const int rate : {48000, 44100, 22050, 96000}) {
        SCOPED_TRACE(rate);
        const AudioFormat from{rate, 2, SampleType::Float32, true};
        auto resampler = SwrResampler::create(from, Mono16k);
        ASSERT_TRUE(resampler);
        qint64 in = 0;
        qint64 out = 0;
        for (int i = 0; i < 400; ++i) {
            const auto converted = resampler->convert(sine(from, in, 512));
            ASSERT_TRUE(converted);
            ASSERT_EQ(converted->format, Mono16k);
            in += 512;
            out += converted->frameCount();
            // Truncation is per stream, never accumulated per buffer, from the first buffer on.
            ASSERT_EQ(out, in * 16000 / rate) << "buffer " << i;
        }
    }
}

} // namespace
} // namespace velnor
