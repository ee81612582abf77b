#include "platform/linux/audio/FfmpegAacFileWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <QFile>

#include <mutex>
#include <vector>

namespace velnor {

namespace {

QString ffmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return QString::fromUtf8(text);
}

std::optional<QString> createOwnerOnly(const QString& path)
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate, ownerOnly))
        return file.errorString();
    // A file that was already there keeps its mode through open().
    if (!file.setPermissions(ownerOnly))
        return file.errorString();
    return std::nullopt;
}

} // namespace

FfmpegAacFileWriter::~FfmpegAacFileWriter()
{
    finish();
}

AacFileWriterFactory FfmpegAacFileWriter::factory()
{
    return [] { return std::make_unique<FfmpegAacFileWriter>(); };
}

bool FfmpegAacFileWriter::isAvailable() const
{
    return avcodec_find_encoder(AV_CODEC_ID_AAC) != nullptr && av_guess_format("ipod", nullptr, nullptr) != nullptr;
}

void FfmpegAacFileWriter::release()
{
    if (m_container) {
        if (m_container->pb)
            avio_closep(&m_container->pb);
        avformat_free_context(m_container);
        m_container = nullptr;
    }
    avcodec_free_context(&m_encoder);
    if (m_fifo) {
        av_audio_fifo_free(m_fifo);
        m_fifo = nullptr;
    }
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    m_headerWritten = false;
    m_nextPts = 0;
}

std::optional<QString> FfmpegAacFileWriter::open(const QString& path, const AudioFormat& format, int bitRate)
{
    // The encoder's statistics lines would land on the app's standard error.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    release();
    if (!format.isValid() || format.sampleType != SampleType::Float32 || !format.interleaved)
        return QStringLiteral("不支持的音频格式: ") + describe(format);
    m_format = format;
    const QByteArray file = QFile::encodeName(path);

    int code = avformat_alloc_output_context2(&m_container, nullptr, "ipod", file.constData());
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (code < 0 || !codec) {
        release();
        return code < 0 ? ffmpegError(code) : QStringLiteral("没有AAC编码器");
    }
    m_encoder = avcodec_alloc_context3(codec);
    m_encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_encoder->sample_rate = format.sampleRate;
    av_channel_layout_default(&m_encoder->ch_layout, format.channelCount);
    m_encoder->bit_rate = bitRate > 0 ? bitRate : 96000 * format.channelCount;
    m_encoder->time_base = AVRational{1, format.sampleRate};
    if (m_container->oformat->flags & AVFMT_GLOBALHEADER)
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((code = avcodec_open2(m_encoder, codec, nullptr)) < 0) {
        release();
        return ffmpegError(code);
    }

    AVStream* stream = avformat_new_stream(m_container, nullptr);
    if (!stream) {
        release();
        return QStringLiteral("无法创建音频流");
    }
    m_streamIndex = stream->index;
    stream->time_base = m_encoder->time_base;
    avcodec_parameters_from_context(stream->codecpar, m_encoder);

    // avio_open would create the file with the umask's mode, readable by
    // every local account: the words are the user's alone from the first
    // byte. avio_open then only truncates the file made here.
    if (const auto error = createOwnerOnly(path)) {
        release();
        return error;
    }
    if ((code = avio_open(&m_container->pb, file.constData(), AVIO_FLAG_WRITE)) < 0) {
        release();
        QFile::remove(path);
        return ffmpegError(code);
    }
    if ((code = avformat_write_header(m_container, nullptr)) < 0) {
        release();
        QFile::remove(path);
        return ffmpegError(code);
    }
    m_headerWritten = true;
    m_fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, format.channelCount, m_encoder->frame_size * 4);
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    return std::nullopt;
}

std::optional<QString> FfmpegAacFileWriter::write(const AudioBuffer& buffer)
{
    if (!m_headerWritten)
        return QStringLiteral("文件未打开");
    if (buffer.format != m_format)
        return QStringLiteral("缓冲区格式不符: ") + describe(buffer.format);
    const int frames = int(buffer.frameCount());
    if (frames == 0)
        return std::nullopt;

    // The encoder takes planar samples: split the interleaved channels.
    const int channels = m_format.channelCount;
    std::vector<std::vector<float>> planes(size_t(channels), std::vector<float>(size_t(frames), 0.0f));
    const auto* samples = reinterpret_cast<const float*>(buffer.data.constData());
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            planes[size_t(c)][size_t(f)] = samples[size_t(f) * size_t(channels) + size_t(c)];
    std::vector<void*> pointers;
    for (auto& plane : planes)
        pointers.push_back(plane.data());
    if (av_audio_fifo_write(m_fifo, pointers.data(), frames) < frames)
        return QStringLiteral("内存不足");
    return encodeFrames(false);
}

std::optional<QString> FfmpegAacFileWriter::encodeFrames(bool flush)
{
    const int frameSize = m_encoder->frame_size;
    while (av_audio_fifo_size(m_fifo) >= frameSize || (flush && av_audio_fifo_size(m_fifo) > 0)) {
        const int count = std::min(frameSize, av_audio_fifo_size(m_fifo));
        av_frame_unref(m_frame);
        m_frame->nb_samples = count;
        m_frame->format = AV_SAMPLE_FMT_FLTP;
        m_frame->sample_rate = m_format.sampleRate;
        av_channel_layout_copy(&m_frame->ch_layout, &m_encoder->ch_layout);
        int code = av_frame_get_buffer(m_frame, 0);
        if (code < 0)
            return ffmpegError(code);
        av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_frame->extended_data), count);
        m_frame->pts = m_nextPts;
        m_nextPts += count;
        if (const auto error = sendAndDrain(m_frame))
            return error;
    }
    return std::nullopt;
}

std::optional<QString> FfmpegAacFileWriter::sendAndDrain(AVFrame* frame)
{
    int code = avcodec_send_frame(m_encoder, frame);
    if (code < 0)
        return ffmpegError(code);
    while ((code = avcodec_receive_packet(m_encoder, m_packet)) >= 0) {
        m_packet->stream_index = m_streamIndex;
        av_packet_rescale_ts(m_packet, m_encoder->time_base, m_container->streams[m_streamIndex]->time_base);
        code = av_interleaved_write_frame(m_container, m_packet);
        if (code < 0)
            return ffmpegError(code);
    }
    return code == AVERROR(EAGAIN) || code == AVERROR_EOF ? std::nullopt : std::optional<QString>(ffmpegError(code));
}

std::optional<QString> FfmpegAacFileWriter::finish()
{
    if (!m_headerWritten) {
        release();
        return std::nullopt;
    }
    auto error = encodeFrames(true);
    if (!error)
        error = sendAndDrain(nullptr);
    const int code = av_write_trailer(m_container);
    if (!error && code < 0)
        error = ffmpegError(code);
    release();
    return error;
}

} // namespace velnor
