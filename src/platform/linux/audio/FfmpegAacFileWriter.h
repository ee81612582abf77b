#pragma once

#include "platform/AacFileWriter.h"

struct AVAudioFifo;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace velnor {

// AAC (FFmpeg's native encoder) in an MPEG-4 audio file (the "ipod" muxer,
// i.e. ".m4a"). The trailer is written by finish(): a plain, non-fragmented
// file that every decoder and backend accepts.
class FfmpegAacFileWriter final : public AacFileWriter {
public:
    FfmpegAacFileWriter() = default;
    ~FfmpegAacFileWriter() override;

    bool isAvailable() const override;
    std::optional<QString> open(const QString& path, const AudioFormat& format, int bitRate) override;
    std::optional<QString> write(const AudioBuffer& buffer) override;
    std::optional<QString> finish() override;

    static AacFileWriterFactory factory();

private:
    std::optional<QString> encodeFrames(bool flush);
    std::optional<QString> sendAndDrain(AVFrame* frame);
    void release();

    AudioFormat m_format;
    AVFormatContext* m_container = nullptr;
    AVCodecContext* m_encoder = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    int m_streamIndex = 0;
    qint64 m_nextPts = 0;
    bool m_headerWritten = false;
};

} // namespace velnor
