#pragma once

#include "platform/AudioCapture.h"

#include <QByteArray>

#include <functional>
#include <memory>

struct pa_stream;

namespace velnor {

class PulseConnection;

// Records the system's default capture source through libpulse, in the
// source's own rate and channel count as interleaved Float32 (sources above
// 96 kHz or 8 channels are recorded at 48 kHz stereo, which AAC can hold).
//
// libpulse directly rather than Qt Multimedia's QAudioSource, because on
// PulseAudio Qt 6.4 picks the first non-monitor source instead of the
// server's default, never reconnects when the server (re)starts after the
// app, and delivers buffers only through the owning thread's event loop.
// Here buffers arrive on PulseAudio's own thread, the stream rides the app's
// one connection (start and stop never wait for the server), and the source
// is the one the server calls default.
class PulseAudioCapture final : public AudioCapture {
public:
    // `sourceName` empty records the server's default source (the app's
    // choice is made the default before each recording). `onFailure` hears
    // (on the audio thread) when the stream fails to open or dies, e.g. the
    // server went away. Both optional.
    explicit PulseAudioCapture(PulseConnection& connection, QString sourceName = {},
                               std::function<void(const QString&)> onFailure = {});
    ~PulseAudioCapture() override;

    bool isAvailable() const override { return true; }
    std::optional<AudioFormat> inputFormat() const override;
    std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override;
    void stop() override;

    static AudioCaptureFactory factory(PulseConnection& connection, QString sourceName = {},
                                       std::function<void(const QString&)> onFailure = {});

private:
    struct Source {
        QString name;
        AudioFormat format;
    };
    // The default source and its format, or the error text.
    std::optional<Source> resolveSource(QString* error) const;
    void onReadable();
    void onStateChanged();
    void deliverWhole(bool includePartial);
    void releaseStream();

    PulseConnection& m_connection;
    const QString m_sourceName;
    std::function<void(const QString&)> m_onFailure;
    mutable std::optional<Source> m_source;
    pa_stream* m_stream = nullptr;
    BufferCallback m_onBuffer;
    AudioFormat m_format;
    qsizetype m_chunkBytes = 0;
    QByteArray m_pending;
    bool m_failed = false;
};

} // namespace velnor
