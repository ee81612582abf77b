#include "platform/fake/FileAudioCapture.h"
#include "support/TempDir.h"

#include <QtEndian>

#include <gtest/gtest.h>

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

// What is not 16-bit or float PCM is refused. (Playback is what every test
// that speaks through this stand-in microphone walks.)
TEST(FileAudioCaptureTest, RefusesWhatIsNotUsablePcm)
{
    test::TempDir dir;
    QString error;
    EXPECT_FALSE(FileAudioCapture::fromWavFile(dir.filePath("missing.wav"), 1.0, &error));
    EXPECT_FALSE(FileAudioCapture::fromWavFile(dir.writeFile("text.wav", "hello"), 1.0, &error));
    QByteArray eightBit = wavFile(8000, 1, QByteArray(10, 0), 10);
    eightBit[34] = 8; // bits per sample
    EXPECT_FALSE(FileAudioCapture::fromWavFile(dir.writeFile("8bit.wav", eightBit), 1.0, &error));
    EXPECT_TRUE(error.contains("unsupported"));
}

} // namespace
} // namespace velnor
