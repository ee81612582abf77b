#include "platform/fake/FileAudioCapture.h"
#include "support/TempDir.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <mutex>

namespace velnor {
namespace {

QByteArray wavFile(int rate, int channels, const QByteArray& pcm, quint32 dataSize)
{
    QByteArray header("RIFF\0\0\0\0WAVEfmt ", 16);
    char field[4];
    auto put32 = [&](quint32 v) { qToLittleEndian(v, field); header.append(field, 4); };
    auto put16 = [&](quint16 v) { qToLittleEndian(v, field); header.append(field, 2); };
    put32(16);
    put16(1);
    put16(quint16(channels));
    put32(quint32(rate));
    put32(quint32(rate * channels * 2));
    put16(quint16(channels * 2));
    put16(16);
    header.append("LIST", 4); // an unrelated chunk before the data
    put32(3);
    header.append("abc\0", 4); // odd size: padded to even
    header.append("data", 4);
    put32(dataSize);
    return header + pcm;
}

// What is not 16-bit or float PCM is refused; a WAV file plays in buffers of the requested size.
TEST(FileAudioCaptureTest, PlaysAWavFileInBuffersOfTheRequestedSizeAndRefusesWhatIsNotUsablePcm)
{
    test::TempDir dir;
    QString error;
    EXPECT_FALSE(FileAudioCapture::fromWavFile(dir.filePath("missing.wav"), 1.0, &error));
    EXPECT_FALSE(FileAudioCapture::fromWavFile(dir.writeFile("text.wav", "hello"), 1.0, &error));
    QByteArray eightBit = wavFile(8000, 1, QByteArray(10, 0), 10);
    eightBit[34] = 8; // bits per sample
    EXPECT_FALSE(FileAudioCapture::fromWavFile(dir.writeFile("8bit.wav", eightBit), 1.0, &error));
    EXPECT_TRUE(error.contains("unsupported"));

    QByteArray pcm;
    for (int i = 0; i < 1000; ++i) {
        char sample[2];
        qToLittleEndian(qint16(i), sample);
        pcm.append(sample, 2);
    }
    // A streamed WAV leaves the data size at its maximum.
    const QString path = dir.writeFile("speech.wav", wavFile(22050, 1, pcm, 0xFFFFFFFFu));
    auto capture = FileAudioCapture::fromWavFile(path, 1000.0, &error);
    ASSERT_TRUE(capture) << error.toStdString();
    EXPECT_EQ(capture->inputFormat(), (AudioFormat{22050, 1, SampleType::Int16, true}));

    std::mutex mutex;
    QByteArray received;
    QList<qint64> frames;
    ASSERT_FALSE(capture->start(300, [&](const AudioBuffer& buffer) {
        std::lock_guard lock(mutex);
        received += buffer.data;
        frames.append(buffer.frameCount());
    }));
    capture->waitUntilFinished();
    capture->stop();
    std::lock_guard lock(mutex);
    EXPECT_EQ(received, pcm);
    EXPECT_EQ(frames, (QList<qint64>{300, 300, 300, 100}));
    EXPECT_EQ(capture->deliveredBuffers(), 4);
}

} // namespace
} // namespace velnor
