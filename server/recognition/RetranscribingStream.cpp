#include "recognition/RetranscribingStream.h"

#include <cstring>
#include <vector>

namespace velnor::server {

namespace {

constexpr qint64 kBytesPerMs = 32; // 16 kHz, 16-bit
// Less than this is not worth a partial transcription (a server may refuse it).
constexpr qsizetype kMinPartialBytes = 250 * kBytesPerMs;

std::vector<std::int16_t> samplesOf(const QByteArray& pcm)
{
    std::vector<std::int16_t> samples(std::size_t(pcm.size() / 2));
    std::memcpy(samples.data(), pcm.constData(), samples.size() * 2);
    return samples;
}

} // namespace

struct RetranscribingStream::State {
    RetranscribingStream::Transcribe transcribe;
    RetranscribingStream::Executor executor;
    std::chrono::milliseconds timeout;
    RecognitionContext context;
    StreamRecognition::Sink sink;

    std::mutex mutex;
    std::atomic<bool> cancelled{false};
    QByteArray audio;
    qsizetype transcribedBytes = 0; // of the last transcription started
    bool running = false;
    bool finishing = false;
    bool done = false;
    bool announced = false;
    QString lastText;

    // Under the mutex, so nothing is reported once the stream is gone.
    void report(const StreamEvent& event)
    {
        if (!cancelled.load())
            sink(event);
    }
    StreamSegment segment(qint64 sliceType, qsizetype bytes, const QString& text) const
    {
        return {sliceType, 0, 0, bytes / kBytesPerMs, text};
    }
};

RetranscribingStream::RetranscribingStream(Setup setup, RecognitionContext context, Sink sink)
    : m_state(std::make_shared<State>())
    , m_timer(std::move(setup.timer))
{
    m_state->transcribe = std::move(setup.transcribe);
    m_state->executor = std::move(setup.executor);
    m_state->timeout = setup.timeout;
    m_state->context = std::move(context);
    m_state->sink = std::move(sink);
    m_state->sink(StreamEvent{StreamEvent::Kind::Ready, {}, 0, {}});
    m_timer->start(setup.interval, [this] { tick(); });
}

RetranscribingStream::~RetranscribingStream()
{
    m_timer->stop();
    std::lock_guard lock(m_state->mutex);
    m_state->cancelled = true;
}

void RetranscribingStream::push(QByteArray pcm)
{
    std::lock_guard lock(m_state->mutex);
    if (!m_state->finishing)
        m_state->audio.append(pcm);
}

void RetranscribingStream::tick()
{
    std::unique_lock lock(m_state->mutex);
    const qsizetype whole = m_state->audio.size() & ~qsizetype(1);
    if (m_state->running || m_state->finishing || whole < kMinPartialBytes || whole == m_state->transcribedBytes)
        return;
    startJob(m_state, false, lock);
}

void RetranscribingStream::finish()
{
    m_timer->stop();
    std::unique_lock lock(m_state->mutex);
    if (m_state->finishing)
        return;
    m_state->finishing = true;
    // A transcription still running starts the final one when it is done.
    if (!m_state->running)
        startJob(m_state, true, lock);
}

void RetranscribingStream::startJob(const std::shared_ptr<State>& state, bool final, std::unique_lock<std::mutex>& lock)
{
    QByteArray audio = state->audio.left(state->audio.size() & ~qsizetype(1));
    state->transcribedBytes = audio.size();
    state->running = true;
    lock.unlock();
    state->executor([state, audio = std::move(audio), final] { runJob(state, audio, final); });
}

void RetranscribingStream::runJob(const std::shared_ptr<State>& state, QByteArray audio, bool final)
{
    FileRecognition result = FileRecognition::heard(QString());
    if (!audio.isEmpty()) {
        const std::vector<std::int16_t> samples = samplesOf(audio);
        result = state->transcribe(samples, state->context, std::chrono::steady_clock::now() + state->timeout,
                                   state->cancelled);
    }
    std::unique_lock lock(state->mutex);
    state->running = false;
    if (state->done)
        return;
    if (!result.text) {
        state->done = true;
        state->report(StreamEvent{StreamEvent::Kind::Failed, {}, 0, result.error});
        return;
    }
    const QString text = *result.text;
    if (final) {
        state->done = true;
        if (!text.isEmpty() || state->announced)
            state->report(StreamEvent{StreamEvent::Kind::Segment, state->segment(2, audio.size(), text), 0, {}});
        state->report(StreamEvent{StreamEvent::Kind::Finished, {}, 0, {}});
        return;
    }
    if (!text.isEmpty() && text != state->lastText) {
        state->report(StreamEvent{StreamEvent::Kind::Segment, state->segment(state->announced ? 1 : 0, audio.size(), text),
                                  0, {}});
        state->announced = true;
        state->lastText = text;
    }
    if (state->finishing)
        startJob(state, true, lock);
}

RetranscribingStreamRecognizer::RetranscribingStreamRecognizer(QString name,
                                                               RetranscribingStream::Transcribe transcribe,
                                                               RepeatingTimerFactory timers, int maxConcurrent,
                                                               std::chrono::milliseconds timeout)
    : m_name(std::move(name))
    , m_transcribe(std::move(transcribe))
    , m_timers(std::move(timers))
    , m_timeout(timeout)
{
    m_workers.setMaxThreadCount(std::max(1, maxConcurrent));
}

RetranscribingStreamRecognizer::~RetranscribingStreamRecognizer()
{
    m_workers.waitForDone();
}

std::unique_ptr<StreamRecognition> RetranscribingStreamRecognizer::open(const QString&,
                                                                        const RecognitionContext& context,
                                                                        StreamRecognition::Sink sink)
{
    RetranscribingStream::Setup setup{m_transcribe,
                                      [this](std::function<void()> job) { m_workers.start(std::move(job)); },
                                      m_timers(), std::chrono::milliseconds(1500), m_timeout};
    return std::make_unique<RetranscribingStream>(std::move(setup), context, std::move(sink));
}

} // namespace velnor::server
