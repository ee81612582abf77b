#pragma once

#include "recognition/Recognizer.h"
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
// ends; times in milliseconds of audio. Events are reported on its thread.
class DecoderStream final : public StreamRecognition {
public:
    using Loader = SpeechRecognizerFactory;
    // Takes back the decoder when the stream ends, for the next stream.
    using GiveBack = std::function<void(std::unique_ptr<SpeechRecognizer>)>;

    // Loading a model takes long: it happens on the stream's thread, never
    // on the caller's. A ready decoder (an idle one) is used as it is.
    DecoderStream(std::unique_ptr<SpeechRecognizer> ready, Loader loader, Sink sink, GiveBack giveBack);
    ~DecoderStream() override;

    // 16-bit little-endian mono PCM at 16 kHz (any length; an odd byte waits for the next).
    void push(QByteArray pcm) override;
    void finish() override;

private:
    void run();
    void emitSegment(qint64 sliceType, const QString& text);
    void decode(const QByteArray& pcm);
    void endStream();

    std::unique_ptr<SpeechRecognizer> m_recognizer;
    Loader m_loader;
    Sink m_sink;
    GiveBack m_giveBack;

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
