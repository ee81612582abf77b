#include "audio/AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <QDeadlineTimer>

#include <cstring>
#include <memory>
#include <mutex>

namespace velnor::server {

namespace {

constexpr int kIoBufferSize = 32 * 1024;
// The containers the app and its tests upload: MP4/M4A (the demuxer of that
// family is named "mov,mp4,m4a,3gp,3g2,mj2") and WAV. Playlists, concat lists,
// manifests and session descriptions name other files or network addresses
// and are never opened.
constexpr const char* kAllowedContainers = "mov,wav";

struct MemoryFile {
    const uint8_t* data;
    int64_t size;
    int64_t position = 0;
    const QDeadlineTimer* deadline = nullptr;
};

// FFmpeg's interrupt callback: a non-zero answer stops whatever it is doing.
int pastDeadline(void* opaque)
{
    return static_cast<const QDeadlineTimer*>(opaque)->hasExpired() ? 1 : 0;
}

// An upload is one self-contained file: any attempt to open another file or URL is refused.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

int readMemory(void* opaque, uint8_t* buffer, int size)
{
    auto* file = static_cast<MemoryFile*>(opaque);
    if (file->deadline && file->deadline->hasExpired())
        return AVERROR_EXIT;
    const int64_t count = std::min<int64_t>(size, file->size - file->position);
    if (count <= 0)
        return AVERROR_EOF;
    std::memcpy(buffer, file->data + file->position, static_cast<size_t>(count));
    file->position += count;
    return static_cast<int>(count);
}

int64_t seekMemory(void* opaque, int64_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return file->size;
    int64_t target = offset;
    if (whence == SEEK_CUR)
        target += file->position;
    else if (whence == SEEK_END)
        target += file->size;
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    if (target < 0 || target > file->size)
        return AVERROR(EINVAL);
    file->position = target;
    return target;
}

struct IoDeleter {
    void operator()(AVIOContext* io) const
    {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct FormatDeleter {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct ResamplerDeleter {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// Pulls decoded frames out of the codec and appends them, resampled, to the output.
class Converter {
public:
    Converter(AVCodecContext* codec, std::vector<std::int16_t>& out, size_t maxSamples)
        : m_codec(codec)
        , m_out(out)
        , m_maxSamples(maxSamples)
        , m_frame(av_frame_alloc())
    {
    }

    // False with *error on a failure (including too much audio).
    bool drain(QString* error)
    {
        for (;;) {
            const int received = avcodec_receive_frame(m_codec, m_frame.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return true;   // a damaged frame: keep what decoded so far
            const bool ok = append(m_frame.get(), error);
            av_frame_unref(m_frame.get());
            if (!ok)
                return false;
        }
    }

    bool flushResampler(QString* error) { return m_swr ? convert(nullptr, 0, error) : true; }

private:
    bool append(const AVFrame* frame, QString* error)
    {
        if (!m_swr) {
            AVChannelLayout inLayout;
            if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0)
                av_channel_layout_default(&inLayout, std::max(1, frame->ch_layout.nb_channels));
            else
                av_channel_layout_copy(&inLayout, &frame->ch_layout);
            AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
            SwrContext* swr = nullptr;
            const int made = swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, AudioDecoder::kSampleRate, &inLayout,
                                                 static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                                 nullptr);
            av_channel_layout_uninit(&inLayout);
            m_swr.reset(swr);
            if (made < 0 || frame->sample_rate <= 0 || swr_init(swr) < 0) {
                if (error)
                    *error = QStringLiteral("unsupported audio format");
                return false;
            }
            m_inputRate = frame->sample_rate;
        }
        if (frame->sample_rate != m_inputRate) {
            if (error)
                *error = QStringLiteral("audio changes its sample rate midway");
            return false;
        }
        return convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples, error);
    }

    bool convert(const uint8_t** input, int inputSamples, QString* error)
    {
        const int capacity = swr_get_out_samples(m_swr.get(), inputSamples);
        if (capacity < 0)
            return fail(error, QStringLiteral("audio resampling failed"));
        const size_t start = m_out.size();
        if (start + static_cast<size_t>(capacity) > m_maxSamples + AudioDecoder::kSampleRate)
            return fail(error, QStringLiteral("audio is too long"));
        m_out.resize(start + static_cast<size_t>(capacity));
        uint8_t* output = reinterpret_cast<uint8_t*>(m_out.data() + start);
        const int converted = swr_convert(m_swr.get(), &output, capacity, input, inputSamples);
        if (converted < 0) {
            m_out.resize(start);
            return fail(error, QStringLiteral("audio resampling failed"));
        }
        m_out.resize(start + static_cast<size_t>(converted));
        if (m_out.size() > m_maxSamples)
            return fail(error, QStringLiteral("audio is too long"));
        return true;
    }

    static bool fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
        return false;
    }

    AVCodecContext* m_codec;
    std::vector<std::int16_t>& m_out;
    size_t m_maxSamples;
    std::unique_ptr<AVFrame, FrameDeleter> m_frame;
    std::unique_ptr<SwrContext, ResamplerDeleter> m_swr;
    int m_inputRate = 0;
};

template<typename T>
std::optional<T> failure(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

} // namespace

std::optional<std::vector<std::int16_t>> AudioDecoder::decode(const QByteArray& file, const Limits& limits,
                                                              QString* error)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    using Result = std::vector<std::int16_t>;

    if (file.isEmpty())
        return failure<Result>(error, QStringLiteral("the audio file is empty"));

    const QDeadlineTimer deadline(limits.deadlineMs);
    MemoryFile memory{reinterpret_cast<const uint8_t*>(file.constData()), file.size(), 0, &deadline};
    auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    std::unique_ptr<AVIOContext, IoDeleter> io(
        avio_alloc_context(ioBuffer, kIoBufferSize, 0, &memory, readMemory, nullptr, seekMemory));
    if (!io) {
        av_free(ioBuffer);
        return failure<Result>(error, QStringLiteral("out of memory"));
    }

    AVFormatContext* rawFormat = avformat_alloc_context();
    if (!rawFormat)
        return failure<Result>(error, QStringLiteral("out of memory"));
    rawFormat->pb = io.get();
    rawFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    rawFormat->io_open = refuseNestedOpen;
    rawFormat->interrupt_callback = {pastDeadline, const_cast<QDeadlineTimer*>(&deadline)};
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kAllowedContainers, 0);
    av_dict_set(&options, "protocol_whitelist", "", 0);
    const int opened = avformat_open_input(&rawFormat, nullptr, nullptr, &options);
    av_dict_free(&options);
    // A failure after the deadline is the deadline's doing.
    const auto failed = [&](const QString& text) {
        return failure<Result>(error, deadline.hasExpired() ? QStringLiteral("decoding took too long") : text);
    };
    // FFmpeg's own error texts are not passed on: they can tell which files exist.
    if (opened < 0)
        return failed(QStringLiteral("not an m4a or wav audio file"));
    std::unique_ptr<AVFormatContext, FormatDeleter> format(rawFormat);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return failed(QStringLiteral("not an audio file (no stream information)"));

    const AVCodec* codec = nullptr;
    const int streamIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex < 0 || !codec)
        return failure<Result>(error, QStringLiteral("the file has no audio stream"));
    std::unique_ptr<AVCodecContext, CodecDeleter> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), format->streams[streamIndex]->codecpar) < 0
        || avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return failure<Result>(error, QStringLiteral("the audio codec cannot be opened"));

    Result samples;
    const size_t maxSamples = static_cast<size_t>(std::max(0.0, limits.maxSeconds) * kSampleRate);
    Converter converter(decoder.get(), samples, maxSamples);
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    QString reason;
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        const bool decoded = packet->stream_index != streamIndex || avcodec_send_packet(decoder.get(), packet.get()) < 0
            || converter.drain(&reason);
        av_packet_unref(packet.get());
        if (!decoded || deadline.hasExpired())
            return failed(reason);
    }
    if (deadline.hasExpired())
        return failed(reason);
    avcodec_send_packet(decoder.get(), nullptr);
    if (!converter.drain(&reason) || !converter.flushResampler(&reason))
        return failure<Result>(error, reason);
    if (samples.empty())
        return failure<Result>(error, QStringLiteral("the file holds no decodable audio"));
    return samples;
}

} // namespace velnor::server
