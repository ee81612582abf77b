#include "platform/linux/audio/PulseSoundOutput.h"

#include "platform/linux/audio/PulseConnection.h"

#include <pulse/pulseaudio.h>

namespace velnor {

namespace {

pa_sample_format_t pulseFormat(SampleType type)
{
    switch (type) {
    case SampleType::Int16:
        return PA_SAMPLE_S16LE;
    case SampleType::Int32:
        return PA_SAMPLE_S32LE;
    case SampleType::Float32:
        break;
    }
    return PA_SAMPLE_FLOAT32LE;
}

} // namespace

// One sound on its way: the stream and its samples, touched only with the
// loop locked (its callbacks run on the loop thread).
class PulseSoundOutput::Playback final {
public:
    Playback(PulseSoundOutput& owner, pa_stream* stream, QByteArray samples)
        : m_owner(owner)
        , m_stream(stream)
        , m_samples(std::move(samples))
    {
        pa_stream_set_state_callback(m_stream, &Playback::onState, this);
    }

    ~Playback()
    {
        // A drain the server has not answered (it may be stopped) must never
        // call back into this deleted object.
        if (m_drain) {
            if (pa_operation_get_state(m_drain) == PA_OPERATION_RUNNING)
                pa_operation_cancel(m_drain);
            pa_operation_unref(m_drain);
        }
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }

private:
    static void onState(pa_stream* stream, void* self)
    {
        auto* playback = static_cast<Playback*>(self);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            playback->writeAll();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            playback->m_owner.release(playback);
            break;
        default:
            break;
        }
    }

    void writeAll()
    {
        // A sound is short: the server buffers all of it at once.
        if (pa_stream_write(m_stream, m_samples.constData(), size_t(m_samples.size()), nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            m_owner.release(this);
            return;
        }
        m_drain = pa_stream_drain(m_stream, &Playback::onDrained, this);
    }

    static void onDrained(pa_stream*, int, void* self)
    {
        auto* playback = static_cast<Playback*>(self);
        playback->m_owner.release(playback);
    }

    PulseSoundOutput& m_owner;
    pa_stream* m_stream;
    QByteArray m_samples;
    pa_operation* m_drain = nullptr;
};

PulseSoundOutput::PulseSoundOutput(PulseConnection& connection)
    : m_connection(connection)
{
}

PulseSoundOutput::~PulseSoundOutput()
{
    PulseConnection::Lock lock(m_connection);
    release(m_current);
}

void PulseSoundOutput::release(Playback* playback)
{
    if (!playback)
        return;
    if (playback == m_current)
        m_current = nullptr;
    delete playback;
}

std::optional<QString> PulseSoundOutput::play(const AudioBuffer& sound, float volume)
{
    if (!sound.format.isValid() || sound.data.isEmpty() || !sound.format.interleaved)
        return QStringLiteral("无效的音频数据");
    // Locking only waits for the loop thread's current callback, never for the server.
    PulseConnection::Lock lock(m_connection);
    pa_context* context = m_connection.readyContext();
    if (!context)
        return m_connection.lastError();
    release(m_current);
    const pa_sample_spec spec{pulseFormat(sound.format.sampleType), uint32_t(sound.format.sampleRate),
                              uint8_t(sound.format.channelCount)};
    if (!pa_sample_spec_valid(&spec))
        return QStringLiteral("无效的音频格式: ") + describe(sound.format);
    pa_stream* stream = pa_stream_new(context, "Velnor sound", &spec, nullptr);
    if (!stream)
        return m_connection.lastError();
    auto* playback = new Playback(*this, stream, sound.data);
    pa_cvolume channelVolume;
    pa_cvolume_set(&channelVolume, spec.channels, pa_sw_volume_from_linear(double(volume)));
    if (pa_stream_connect_playback(stream, nullptr, nullptr, pa_stream_flags_t(0), &channelVolume, nullptr) < 0) {
        const QString refused = m_connection.lastError();
        release(playback);
        return refused;
    }
    m_current = playback;
    return std::nullopt;
}

} // namespace velnor
