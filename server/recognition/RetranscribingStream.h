#pragma once

#include "recognition/Recognizer.h"
#include "recognition/RepeatingTimer.h"

#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace velnor::server {

// Real-time results from a recogniser that only takes whole files: every
// interval the audio so far is transcribed again and its text sent as the
// changing text of one segment (slice 0, then 1); at the end it is
// transcribed once more for the final text (slice 2). One transcription runs
// at a time per stream; a tick while one runs is skipped.
class RetranscribingStream final : public StreamRecognition {
public:
    // Blocking; gives up when `cancelled` turns true.
    using Transcribe = std::function<FileRecognition(std::span<const std::int16_t> samples,
                                                     const RecognitionContext& context,
                                                     std::chrono::steady_clock::time_point deadline,
                                                     const std::atomic<bool>& cancelled)>;
    // Runs a job off the caller's thread (tests: at once).
    using Executor = std::function<void(std::function<void()> job)>;

    struct Setup {
        Transcribe transcribe;
        Executor executor;
        std::unique_ptr<RepeatingTimer> timer;
        std::chrono::milliseconds interval{1500};
        std::chrono::milliseconds timeout{30000}; // for each transcription
    };

    RetranscribingStream(Setup setup, RecognitionContext context, Sink sink);
    ~RetranscribingStream() override; // no event is reported after it returns

    void push(QByteArray pcm) override;
    void finish() override;

private:
    struct State;
    void tick();
    static void startJob(const std::shared_ptr<State>& state, bool final, std::unique_lock<std::mutex>& lock);
    static void runJob(const std::shared_ptr<State>& state, QByteArray audio, bool final);

    std::shared_ptr<State> m_state;
    std::unique_ptr<RepeatingTimer> m_timer;
};

// Streams for the real-time endpoint over a whole-file transcriber.
class RetranscribingStreamRecognizer final : public StreamRecognizer {
public:
    RetranscribingStreamRecognizer(QString name, RetranscribingStream::Transcribe transcribe,
                                   RepeatingTimerFactory timers, int maxConcurrent,
                                   std::chrono::milliseconds timeout);
    ~RetranscribingStreamRecognizer() override;

    QString name() const override { return m_name; }
    std::unique_ptr<StreamRecognition> open(const QString& voiceId, const RecognitionContext& context,
                                            StreamRecognition::Sink sink) override;

private:
    const QString m_name;
    const RetranscribingStream::Transcribe m_transcribe;
    const RepeatingTimerFactory m_timers;
    const std::chrono::milliseconds m_timeout;
    QThreadPool m_workers;
};

} // namespace velnor::server
