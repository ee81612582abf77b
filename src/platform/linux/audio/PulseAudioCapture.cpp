#include "platform/linux/audio/PulseAudioCapture.h"

#include "platform/linux/audio/PulseConnection.h"
#include "platform/linux/audio/PulseSourceInfo.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace velnor {

namespace {

constexpr int MaxSampleRate = 96000;
constexpr int FallbackSampleRate = 48000;
constexpr int MaxChannels = 8;
constexpr int FallbackChannels = 2;

} // namespace

PulseAudioCapture::PulseAudioCapture(PulseConnection& connection, QString sourceName,
                                     std::function<void(const QString&)> onFailure)
    : m_connection(connection)
    , m_sourceName(std::move(sourceName))
    , m_onFailure(std::move(onFailure))
{
}

PulseAudioCapture::~PulseAudioCapture()
{
    stop();
}

AudioCaptureFactory PulseAudioCapture::factory(PulseConnection& connection, QString sourceName,
                                               std::function<void(const QString&)> onFailure)
{
    return [&connection, sourceName, onFailure]() -> std::unique_ptr<AudioCapture> {
        return std::make_unique<PulseAudioCapture>(connection, sourceName, onFailure);
    };
}

std::optional<PulseAudioCapture::Source> PulseAudioCapture::resolveSource(QString* error) const
{
    const auto snapshot = m_connection.snapshot();
    if (!snapshot) {
        *error = snapshot.error();
        return std::nullopt;
    }
    const QString name = m_sourceName.isEmpty() ? snapshot.value().defaultSource : m_sourceName;
    if (name.isEmpty()) {
        *error = QStringLiteral("没有默认音频输入设备");
        return std::nullopt;
    }
    const QList<AudioSourceInfo>& sources = snapshot.value().sources;
    const auto source = std::find_if(sources.cbegin(), sources.cend(), [&](const AudioSourceInfo& s) { return s.name == name; });
    if (source == sources.cend() || source->channelCount <= 0 || source->sampleRate <= 0) {
        *error = QStringLiteral("音频输入设备不可用: ") + name;
        return std::nullopt;
    }
    // The recording file's AAC stops at 96 kHz and cannot take every channel
    // count; the server converts such sources for us (voice needs neither).
    const int rate = source->sampleRate > MaxSampleRate ? FallbackSampleRate : source->sampleRate;
    const int channels = source->channelCount > MaxChannels ? FallbackChannels : source->channelCount;
    return Source{name, AudioFormat{rate, channels, SampleType::Float32, true}};
}

std::optional<AudioFormat> PulseAudioCapture::inputFormat() const
{
    QString error;
    m_source = resolveSource(&error);
    if (!m_source)
        return std::nullopt;
    return m_source->format;
}

std::optional<QString> PulseAudioCapture::start(int framesPerBuffer, BufferCallback onBuffer)
{
    stop();
    QString error;
    if (!m_source)
        m_source = resolveSource(&error);
    if (!m_source)
        return error;
    if (framesPerBuffer <= 0)
        return QStringLiteral("无效的缓冲区大小");

    m_format = m_source->format;
    m_chunkBytes = qsizetype(framesPerBuffer) * m_format.bytesPerFrame();
    m_onBuffer = std::move(onBuffer);
    m_pending.clear();
    m_failed = false;

    PulseConnection::Lock lock(m_connection);
    pa_context* context = m_connection.readyContext();
    if (!context)
        return m_connection.lastError();
    pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, uint32_t(m_format.sampleRate), uint8_t(m_format.channelCount)};
    pa_channel_map map;
    pa_channel_map_init_extend(&map, sampleFormat.channels, PA_CHANNEL_MAP_DEFAULT);
    m_stream = pa_stream_new(context, "Velnor recording", &sampleFormat, &map);
    if (!m_stream)
        return m_connection.lastError();
    pa_stream_set_read_callback(
        m_stream, [](pa_stream*, size_t, void* self) { static_cast<PulseAudioCapture*>(self)->onReadable(); }, this);
    pa_stream_set_state_callback(
        m_stream, [](pa_stream*, void* self) { static_cast<PulseAudioCapture*>(self)->onStateChanged(); }, this);

    // Ask for fragments of one buffer, so each arrives about as it fills.
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = uint32_t(m_chunkBytes);
    const QByteArray device = m_source->name.toUtf8();
    // Movable: if the microphone is unplugged mid-recording the server moves
    // the stream to its fallback source instead of ending it.
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(m_stream, device.constData(), &attr, flags) < 0) {
        const QString refused = m_connection.lastError();
        releaseStream();
        return refused;
    }
    // The server answers while the caller goes on: a refusal arrives
    // through onFailure, audio through the buffer callback.
    return std::nullopt;
}

void PulseAudioCapture::onStateChanged()
{
    const pa_stream_state_t state = pa_stream_get_state(m_stream);
    if (state == PA_STREAM_FAILED && !m_failed) {
        m_failed = true;
        if (m_onFailure)
            m_onFailure(QString::fromUtf8(pa_strerror(pa_context_errno(pa_stream_get_context(m_stream)))));
    }
}

void PulseAudioCapture::onReadable()
{
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(m_stream) > 0) {
        if (pa_stream_peek(m_stream, &data, &bytes) < 0 || bytes == 0)
            break;
        if (data)
            m_pending.append(static_cast<const char*>(data), qsizetype(bytes));
        else
            m_pending.append(QByteArray(qsizetype(bytes), '\0')); // a hole: keep the timeline
        pa_stream_drop(m_stream);
    }
    deliverWhole(false);
}

void PulseAudioCapture::deliverWhole(bool includePartial)
{
    qsizetype offset = 0;
    while (m_pending.size() - offset >= m_chunkBytes
           || (includePartial && m_pending.size() - offset >= m_format.bytesPerFrame())) {
        const qsizetype take = std::min(m_chunkBytes, m_pending.size() - offset);
        const qsizetype whole = take - take % m_format.bytesPerFrame();
        AudioBuffer buffer{m_format, m_pending.mid(offset, whole)};
        offset += whole;
        if (m_onBuffer)
            m_onBuffer(buffer);
    }
    m_pending.remove(0, offset);
}

void PulseAudioCapture::stop()
{
    if (m_stream) {
        PulseConnection::Lock lock(m_connection);
        // Collect what the server already captured, then hand over the tail.
        if (pa_stream_get_state(m_stream) == PA_STREAM_READY)
            onReadable();
        deliverWhole(true);
        releaseStream();
    }
    m_onBuffer = nullptr;
    m_pending.clear();
}

void PulseAudioCapture::releaseStream()
{
    // With the loop locked: no callback of this stream runs after this.
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

} // namespace velnor
