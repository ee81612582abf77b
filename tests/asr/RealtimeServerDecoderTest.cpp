// The server's streaming segmentation over a scripted decoder.
#include "realtime/RealtimeDecoder.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace velnor::server {
namespace {

// Each process() call moves to the next step: whether speech is heard and
// the partial hypothesis; endUtterance() answers the hypothesis in full.
class ScriptedRecognizer final : public SpeechRecognizer {
public:
    struct Step {
        bool speaking;
        QString partial;
    };
    explicit ScriptedRecognizer(QList<Step> steps)
        : m_steps(std::move(steps))
    {
    }
    void startUtterance() override { ++starts; }
    void process(std::span<const std::int16_t> samples) override
    {
        processedSamples += qint64(samples.size());
        m_current = m_next < m_steps.size() ? m_steps[m_next++] : Step{false, {}};
    }
    bool inSpeech() const override { return m_current.speaking; }
    QString partialHypothesis() const override { return m_current.partial; }
    QString endUtterance() override { return m_current.partial.toUpper(); }

    int starts = 0;
    qint64 processedSamples = 0;

private:
    QList<Step> m_steps;
    qsizetype m_next = 0;
    Step m_current{false, {}};
};

class Collector {
public:
    RealtimeDecoder::Sink sink()
    {
        return [this](const RealtimeDecoder::Event& event) {
            std::lock_guard lock(m_mutex);
            using Kind = RealtimeDecoder::Event::Kind;
            if (event.kind == Kind::Segment)
                events << QStringLiteral("%1/%2/%3-%4:%5")
                              .arg(event.segment.sliceType)
                              .arg(event.segment.index)
                              .arg(event.segment.startMs)
                              .arg(event.segment.endMs)
                              .arg(event.segment.text);
            else
                events << (event.kind == Kind::Loaded ? "loaded" : event.kind == Kind::Finished ? "finished" : "failed:" + event.error);
            m_changed.notify_all();
        };
    }
    QStringList waitFor(const QString& last)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !events.isEmpty() && events.last().startsWith(last); });
        return events;
    }

    QStringList events;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

QByteArray packet() { return QByteArray(1280, 0); } // 40 ms

TEST(RealtimeServerDecoderTest, SegmentsStartChangeAndEndWithSpeech)
{
    auto recognizer = std::make_unique<ScriptedRecognizer>(QList<ScriptedRecognizer::Step>{
        {false, ""}, {true, "he"}, {true, "he"}, {true, "hello"}, {false, "hello"}, {true, "world"}, {true, "world wide"}});
    ScriptedRecognizer* raw = recognizer.get();
    Collector collector;
    RealtimeDecoder decoder(std::move(recognizer), nullptr, collector.sink());
    for (int i = 0; i < 7; ++i)
        decoder.push(packet());
    decoder.finish();
    EXPECT_EQ(collector.waitFor("finished"),
              (QStringList{"loaded", "0/0/40-80:he", "1/0/40-160:hello", "2/0/40-200:HELLO", "0/1/200-240:world",
                           "1/1/200-280:world wide", "2/1/200-280:WORLD WIDE", "finished"}));
    auto back = decoder.release();
    ASSERT_TRUE(back);
    EXPECT_EQ(raw->processedSamples, 7 * 640);
    EXPECT_EQ(raw->starts, 2); // the stream, then after the first segment
}

TEST(RealtimeServerDecoderTest, OddByteCountsAreJoinedAcrossPackets)
{
    auto recognizer = std::make_unique<ScriptedRecognizer>(QList<ScriptedRecognizer::Step>{});
    ScriptedRecognizer* raw = recognizer.get();
    Collector collector;
    RealtimeDecoder decoder(std::move(recognizer), nullptr, collector.sink());
    decoder.push(QByteArray(3, 0));
    decoder.push(QByteArray(5, 0));
    decoder.finish();
    EXPECT_EQ(collector.waitFor("finished"), (QStringList{"loaded", "finished"}));
    const auto back = decoder.release();
    EXPECT_EQ(raw->processedSamples, 4);
}

TEST(RealtimeServerDecoderTest, LoadingHappensOnTheDecoderThreadAndMayFail)
{
    Collector collector;
    RealtimeDecoder decoder(nullptr, [](QString* error) -> std::unique_ptr<SpeechRecognizer> {
        *error = QStringLiteral("model missing");
        return nullptr;
    }, collector.sink());
    EXPECT_EQ(collector.waitFor("failed"), QStringList{"failed:model missing"});
    EXPECT_FALSE(decoder.release());
}

} // namespace
} // namespace velnor::server
