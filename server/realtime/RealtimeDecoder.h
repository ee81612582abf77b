#pragma once

#include "recognition/SpeechRecognizer.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace velnor::server {

// Streaming decoding of one real-time stream on its own thread, so a slow
// decoder never delays the server's event loop (and the arrival times it
// records). Turns the decoder's partial hypotheses into segment results:
// slice 0 when a segment starts, 1 while its text changes, 2 when speech
// ends; times in milliseconds of audio.
class RealtimeDecoder final {
public:
    struct Segment {
        qint64 sliceType = 0;
        qint64 index = 0;
        qint64 startMs = 0;
        qint64 endMs = 0;
        QString text;
    };
    // What the decoder's thread reports, in order: Loaded (or LoadFailed),
    // then segments, then Finished once finish() is done.
    struct Event {
        enum class Kind { Loaded, LoadFailed, Segment, Finished };
        Kind kind = Kind::Segment;
        Segment segment;
        QString error;
    };
    // Called on the decoder's thread.
    using Sink = std::function<void(const Event& event)>;
    using Loader = std::function<std::unique_ptr<SpeechRecognizer>(QString* error)>;

    // Loading a model takes long: it happens on the decoder's thread, never
    // on the caller's. A ready decoder (from a pool) is used as it is.
    RealtimeDecoder(std::unique_ptr<SpeechRecognizer> ready, Loader loader, Sink sink);
    ~RealtimeDecoder();
    RealtimeDecoder(const RealtimeDecoder&) = delete;
    RealtimeDecoder& operator=(const RealtimeDecoder&) = delete;

    // 16-bit little-endian mono PCM at 16 kHz (any length; an odd byte waits for the next).
    void push(QByteArray pcm);
    // After the audio already pushed: the last segment (if any), then the end.
    void finish();
    // Stops the thread (dropping audio not yet decoded) and hands the decoder back (if any).
    std::unique_ptr<SpeechRecognizer> release();

private:
    void run();
    void emitSegment(qint64 sliceType, const QString& text);
    void decode(const QByteArray& pcm);
    void endStream();

    std::unique_ptr<SpeechRecognizer> m_recognizer;
    Loader m_loader;
    Sink m_sink;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::optional<QByteArray>> m_jobs; // none = finish
    bool m_stopping = false;
    std::thread m_thread;

    // Decoder thread only.
    QByteArray m_oddByte;
    qint64 m_samples = 0;
    bool m_segmentOpen = false;
    bool m_segmentAnnounced = false;
    qint64 m_segmentIndex = 0;
    qint64 m_segmentStartMs = 0;
    QString m_lastPartial;
};

} // namespace velnor::server
