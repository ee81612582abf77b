#include "recognition/DecoderStream.h"

#include <cstring>
#include <vector>

namespace velnor::server {

DecoderStream::DecoderStream(std::unique_ptr<SpeechRecognizer> ready, Loader loader, Sink sink, GiveBack giveBack)
    : m_recognizer(std::move(ready))
    , m_loader(std::move(loader))
    , m_sink(std::move(sink))
    , m_giveBack(std::move(giveBack))
{
    m_thread = std::thread([this] { run(); });
}

DecoderStream::~DecoderStream()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_one();
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_recognizer && m_giveBack)
        m_giveBack(std::move(m_recognizer));
}

void DecoderStream::push(QByteArray pcm)
{
    std::lock_guard lock(m_mutex);
    m_jobs.emplace_back(std::move(pcm));
    m_wake.notify_one();
}

void DecoderStream::finish()
{
    std::lock_guard lock(m_mutex);
    m_jobs.emplace_back(std::nullopt);
    m_wake.notify_one();
}

void DecoderStream::run()
{
    if (!m_recognizer) {
        QString error = QStringLiteral("no recogniser configured");
        m_recognizer = m_loader ? m_loader(&error) : nullptr;
        if (!m_recognizer) {
            m_sink(StreamEvent{StreamEvent::Kind::Failed, {}, 0, error});
            return;
        }
    }
    m_recognizer->startStream();
    m_recognizer->startUtterance();
    m_sink(StreamEvent{StreamEvent::Kind::Ready, {}, 0, {}});
    for (;;) {
        std::optional<QByteArray> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        if (job) {
            decode(*job);
        } else {
            endStream();
            return;
        }
    }
}

void DecoderStream::decode(const QByteArray& pcm)
{
    QByteArray bytes = m_oddByte + pcm;
    m_oddByte.clear();
    if (bytes.size() % 2) {
        m_oddByte = bytes.right(1);
        bytes.chop(1);
    }
    std::vector<std::int16_t> samples(std::size_t(bytes.size() / 2));
    std::memcpy(samples.data(), bytes.constData(), std::size_t(bytes.size()));
    const qint64 startMs = m_samples / 16;
    m_samples += qint64(samples.size());
    m_recognizer->process(samples);

    const bool speaking = m_recognizer->inSpeech();
    if (speaking && !m_segmentOpen) {
        m_segmentOpen = true;
        m_segmentAnnounced = false;
        m_segmentStartMs = startMs;
        m_lastPartial.clear();
    }
    if (m_segmentOpen) {
        const QString partial = m_recognizer->partialHypothesis();
        if (!partial.isEmpty() && partial != m_lastPartial) {
            emitSegment(m_segmentAnnounced ? 1 : 0, partial);
            m_segmentAnnounced = true;
            m_lastPartial = partial;
        }
    }
    if (!speaking && m_segmentOpen) {
        // Speech ended: the segment's text is stable.
        const QString text = m_recognizer->endUtterance();
        if (!text.isEmpty() || m_segmentAnnounced) {
            emitSegment(2, text);
            ++m_segmentIndex;
        }
        m_segmentOpen = false;
        m_recognizer->startUtterance();
    }
}

void DecoderStream::emitSegment(qint64 sliceType, const QString& text)
{
    m_sink(StreamEvent{StreamEvent::Kind::Segment,
                       StreamSegment{sliceType, m_segmentIndex, m_segmentStartMs, m_samples / 16, text}, 0, {}});
}

void DecoderStream::endStream()
{
    const QString text = m_recognizer->endUtterance();
    if (!text.isEmpty() || m_segmentAnnounced)
        emitSegment(2, text);
    m_sink(StreamEvent{StreamEvent::Kind::Finished, {}, 0, {}});
}

} // namespace velnor::server
