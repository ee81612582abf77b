#include "platform/linux/audio/SwrResampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <vector>

namespace velnor {

namespace {

// Input frames of silence fed first, longer than the filter's delay (which
// grows with the decimation ratio): 64 frames per step of the ratio.
int primeFrames(const AudioFormat& from, const AudioFormat& to)
{
    const int ratio = (from.sampleRate + to.sampleRate - 1) / to.sampleRate;
    return 64 * std::max(1, ratio);
}

AVSampleFormat sampleFormat(const AudioFormat& format)
{
    const bool planar = !format.interleaved && format.channelCount > 1;
    switch (format.sampleType) {
    case SampleType::Float32:
        return planar ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_FLT;
    case SampleType::Int16:
        return planar ? AV_SAMPLE_FMT_S16P : AV_SAMPLE_FMT_S16;
    case SampleType::Int32:
        return planar ? AV_SAMPLE_FMT_S32P : AV_SAMPLE_FMT_S32;
    }
    return AV_SAMPLE_FMT_NONE;
}

// Plane pointers into a buffer of `frames` frames in `format`.
template <typename Byte>
std::vector<Byte*> planes(Byte* data, const AudioFormat& format, qint64 frames)
{
    std::vector<Byte*> result;
    if (format.interleaved || format.channelCount == 1) {
        result.push_back(data);
        return result;
    }
    for (int c = 0; c < format.channelCount; ++c)
        result.push_back(data + qint64(c) * frames * format.bytesPerSample());
    return result;
}

// The first `frames` frames of a buffer in `format` (planar data is laid out
// channel after channel, so it is cut plane by plane).
QByteArray takeFrames(const QByteArray& data, const AudioFormat& format, qint64 frames, qint64 total)
{
    if (format.interleaved || format.channelCount == 1)
        return data.left(frames * format.bytesPerFrame());
    QByteArray result;
    for (int c = 0; c < format.channelCount; ++c)
        result.append(data.mid(c * total * format.bytesPerSample(), frames * format.bytesPerSample()));
    return result;
}

} // namespace

std::unique_ptr<SwrResampler> SwrResampler::create(const AudioFormat& from, const AudioFormat& to)
{
    if (!from.isValid() || !to.isValid())
        return nullptr;
    AVChannelLayout inLayout;
    AVChannelLayout outLayout;
    av_channel_layout_default(&inLayout, from.channelCount);
    av_channel_layout_default(&outLayout, to.channelCount);
    SwrContext* context = nullptr;
    const int code = swr_alloc_set_opts2(&context, &outLayout, sampleFormat(to), to.sampleRate, &inLayout,
                                         sampleFormat(from), from.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (code < 0 || !context || swr_init(context) < 0) {
        swr_free(&context);
        return nullptr;
    }
    return std::unique_ptr<SwrResampler>(new SwrResampler(context, from, to));
}

ResamplerFactory SwrResampler::factory()
{
    return [](const AudioFormat& from, const AudioFormat& to) -> std::unique_ptr<Resampler> {
        return create(from, to);
    };
}

SwrResampler::SwrResampler(SwrContext* context, const AudioFormat& from, const AudioFormat& to)
    : m_context(context)
    , m_from(from)
    , m_to(to)
{
}

SwrResampler::~SwrResampler()
{
    swr_free(&m_context);
}

bool SwrResampler::runSwr(const AudioBuffer& input)
{
    const qint64 inFrames = input.frameCount();
    const int capacity = swr_get_out_samples(m_context, int(inFrames));
    if (capacity < 0)
        return false;
    // Converted output is kept interleaved-or-planar as the target says; the
    // carry holds whole frames, so for planar targets it is rebuilt per call.
    QByteArray out(qsizetype(capacity) * m_to.bytesPerFrame(), Qt::Uninitialized);
    auto outPlanes = planes(reinterpret_cast<uint8_t*>(out.data()), m_to, capacity);
    auto inPlanes = planes(reinterpret_cast<const uint8_t*>(input.data.constData()), m_from, inFrames);
    const int produced = swr_convert(m_context, outPlanes.data(), capacity, inPlanes.data(), int(inFrames));
    if (produced < 0)
        return false;
    const QByteArray fresh = takeFrames(out, m_to, produced, capacity);
    if (m_to.interleaved || m_to.channelCount == 1) {
        m_carry.append(fresh);
    } else {
        const qint64 carried = m_carry.size() / m_to.bytesPerFrame();
        QByteArray joined;
        for (int c = 0; c < m_to.channelCount; ++c) {
            joined.append(m_carry.mid(c * carried * m_to.bytesPerSample(), carried * m_to.bytesPerSample()));
            joined.append(fresh.mid(c * qint64(produced) * m_to.bytesPerSample(), qint64(produced) * m_to.bytesPerSample()));
        }
        m_carry = joined;
    }
    return true;
}

std::optional<AudioBuffer> SwrResampler::convert(const AudioBuffer& input)
{
    if (input.format != m_from || input.data.size() % m_from.bytesPerFrame() != 0)
        return std::nullopt;
    if (!m_primed) {
        m_primed = true;
        AudioBuffer silence{m_from, QByteArray(primeFrames(m_from, m_to) * m_from.bytesPerFrame(), '\0')};
        if (!runSwr(silence))
            return std::nullopt;
    }
    if (!runSwr(input))
        return std::nullopt;

    m_framesIn += input.frameCount();
    const qint64 due = m_framesIn * m_to.sampleRate / m_from.sampleRate - m_framesOut;
    const qint64 carried = m_carry.size() / m_to.bytesPerFrame();
    const qint64 frames = std::clamp<qint64>(due, 0, carried);
    AudioBuffer output{m_to, takeFrames(m_carry, m_to, frames, carried)};
    const QByteArray rest = [&] {
        if (m_to.interleaved || m_to.channelCount == 1)
            return m_carry.mid(frames * m_to.bytesPerFrame());
        QByteArray remaining;
        for (int c = 0; c < m_to.channelCount; ++c)
            remaining.append(m_carry.mid((c * carried + frames) * m_to.bytesPerSample(), (carried - frames) * m_to.bytesPerSample()));
        return remaining;
    }();
    m_carry = rest;
    m_framesOut += frames;
    return output;
}

} // namespace velnor
