#include "DecodedAudio.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QFile>

namespace velnor::test {

namespace {

void appendChannelZero(const AVFrame* frame, std::vector<float>& out)
{
    const auto format = AVSampleFormat(frame->format);
    for (int i = 0; i < frame->nb_samples; ++i) {
        if (format == AV_SAMPLE_FMT_FLTP)
            out.push_back(reinterpret_cast<const float*>(frame->data[0])[i]);
        else if (format == AV_SAMPLE_FMT_FLT)
            out.push_back(reinterpret_cast<const float*>(frame->data[0])[i * frame->ch_layout.nb_channels]);
        else if (format == AV_SAMPLE_FMT_S16P)
            out.push_back(float(reinterpret_cast<const int16_t*>(frame->data[0])[i]) / 32768.0f);
    }
}

} // namespace

DecodedAudio decodeAudioFile(const QString& path)
{
    DecodedAudio result;
    AVFormatContext* container = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (avformat_open_input(&container, file.constData(), nullptr, nullptr) < 0)
        return result;
    const int index = avformat_find_stream_info(container, nullptr) < 0
        ? -1
        : av_find_best_stream(container, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&container);
        return result;
    }
    const AVCodecParameters* parameters = container->streams[index]->codecpar;
    result.opened = true;
    result.codecName = QString::fromLatin1(avcodec_get_name(parameters->codec_id));
    result.sampleRate = parameters->sample_rate;
    result.channels = parameters->ch_layout.nb_channels;
    if (container->duration > 0)
        result.containerSeconds = double(container->duration) / AV_TIME_BASE;

    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, parameters);
    decoder->pkt_timebase = container->streams[index]->time_base;
    if (avcodec_open2(decoder, codec, nullptr) == 0) {
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        const auto drain = [&] {
            while (avcodec_receive_frame(decoder, frame) == 0)
                appendChannelZero(frame, result.firstChannel);
        };
        while (av_read_frame(container, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(decoder, packet) == 0)
                drain();
            av_packet_unref(packet);
        }
        avcodec_send_packet(decoder, nullptr);
        drain();
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
    avcodec_free_context(&decoder);
    avformat_close_input(&container);
    return result;
}

} // namespace velnor::test
