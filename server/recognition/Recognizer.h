#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace velnor::server {

// What a recognition is asked to do besides the audio: the language the
// client's engine model names ("zh", "en", "" for the recogniser's default)
// and the user's hot words, which a recogniser may use to favour them.
struct RecognitionContext {
    QString language;
    QStringList hotWords;
};

// The answer of one whole-file recognition: the text, or why there is none.
// `error` names the failure for the log and the client; it never holds a
// secret (keys, signatures, authorisation headers).
struct FileRecognition {
    std::optional<QString> text;
    QString error;

    static FileRecognition heard(QString text) { return {std::move(text), {}}; }
    static FileRecognition failed(QString why) { return {std::nullopt, std::move(why)}; }
};

// Whole-file recognition over 16 kHz mono signed 16-bit PCM. Thread-safe:
// request threads call it at once; an implementation bounds its own
// concurrency. It returns by `deadline` (a failure when the recogniser is
// slower), so a request never hangs on a recogniser.
class FileRecognizer {
public:
    FileRecognizer() = default;
    virtual ~FileRecognizer() = default;
    FileRecognizer(const FileRecognizer&) = delete;
    FileRecognizer& operator=(const FileRecognizer&) = delete;

    // Short name for log lines ("pocketsphinx", "openai", "cloud").
    virtual QString name() const = 0;
    virtual FileRecognition recognize(std::span<const std::int16_t> samples, const RecognitionContext& context,
                                      std::chrono::steady_clock::time_point deadline) = 0;
};

// One segment result of a stream: slice 0 when a segment starts, 1 while its
// text changes, 2 when it is final; times in milliseconds of audio.
struct StreamSegment {
    qint64 sliceType = 0;
    qint64 index = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString text;
};

// What a stream reports, in order: Ready (or Failed), then segments, then
// Finished once finish() is done, or Failed at any point. `code` on Failed is
// the real-time protocol's error code to send to the client (0: internal).
struct StreamEvent {
    enum class Kind { Ready, Segment, Finished, Failed };
    Kind kind = Kind::Segment;
    StreamSegment segment;
    int code = 0;
    QString error;
};

// One real-time recognition stream. Events may be reported on any thread;
// the caller moves them to its own. Audio pushed before Ready is kept.
class StreamRecognition {
public:
    using Sink = std::function<void(const StreamEvent& event)>;

    StreamRecognition() = default;
    virtual ~StreamRecognition() = default; // stops at once, dropping what is not decoded
    StreamRecognition(const StreamRecognition&) = delete;
    StreamRecognition& operator=(const StreamRecognition&) = delete;

    // 16-bit little-endian mono PCM at 16 kHz, any length.
    virtual void push(QByteArray pcm) = 0;
    // After the audio already pushed: the last segments, then Finished.
    virtual void finish() = 0;
};

// Opens streams for the real-time endpoint. `voiceId` is the client's stream
// id (a relay keeps it); `context` as for files.
class StreamRecognizer {
public:
    StreamRecognizer() = default;
    virtual ~StreamRecognizer() = default;
    StreamRecognizer(const StreamRecognizer&) = delete;
    StreamRecognizer& operator=(const StreamRecognizer&) = delete;

    virtual QString name() const = 0;
    virtual std::unique_ptr<StreamRecognition> open(const QString& voiceId, const RecognitionContext& context,
                                                    StreamRecognition::Sink sink) = 0;
};

} // namespace velnor::server
