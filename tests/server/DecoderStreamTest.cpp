// The server's streaming segmentation over a scripted decoder, and the
// decoders it hands back for the next stream.
#include "recognition/DecoderStream.h"
#include "recognition/RecognizerPool.h"
#include "StreamEvents.h"

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
    explicit ScriptedRecognizer(QList<Step> steps) : m_steps(std::move(steps)) {}
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

// A stream over a scripted decoder (or, without one, over what `load` gives),
// the events it reports on its thread, and the decoder it gives back when it ends.
class DecoderStreamTest : public ::testing::Test {
protected:
    ScriptedRecognizer* open(QList<ScriptedRecognizer::Step> steps, DecoderStream::Loader load = nullptr)
    {
        auto recognizer = load ? nullptr : std::make_unique<ScriptedRecognizer>(std::move(steps));
        ScriptedRecognizer* raw = recognizer.get();
        stream = std::make_unique<DecoderStream>(std::move(recognizer), std::move(load), [this](const StreamEvent& event) {
            std::lock_guard lock(m_mutex);
            m_events << test::describe(event);
            m_changed.notify_all();
        }, [this](std::unique_ptr<SpeechRecognizer> back) { givenBack = std::move(back); });
        return raw;
    }
    QStringList waitFor(const QString& last)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_events.isEmpty() && m_events.last().startsWith(last); });
        return m_events;
    }

    std::unique_ptr<SpeechRecognizer> givenBack;
    std::unique_ptr<DecoderStream> stream;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QStringList m_events;
};

TEST_F(DecoderStreamTest, SegmentsStartChangeAndEndWithSpeechAndAFailedLoadEndsTheStream)
{
    ScriptedRecognizer* raw = open({{false, ""}, {true, "he"}, {true, "he"}, {true, "hello"}, {false, "hello"},
                                    {true, "world"}, {true, "world wide"}});
    stream->push(QByteArray(1281, 0)); // 40 ms and an odd byte, which the next packet completes
    for (int i = 0; i < 6; ++i)
        stream->push(QByteArray(i ? 1280 : 1279, 0));
    stream->finish();
    EXPECT_EQ(waitFor("finished"),
              (QStringList{"ready", "0/0/40-80:he", "1/0/40-160:hello", "2/0/40-200:HELLO", "0/1/200-240:world",
                           "1/1/200-280:world wide", "2/1/200-280:WORLD WIDE", "finished"}));
    stream.reset();
    ASSERT_EQ(givenBack.get(), raw) << "the decoder serves the next stream";
    EXPECT_EQ(raw->processedSamples, 7 * 640);
    EXPECT_EQ(raw->starts, 2); // the stream, then after the first segment

    // Without a decoder at hand, the stream loads one on its thread; a failed load ends it.
    givenBack.reset();
    open({}, [](QString* error) -> std::unique_ptr<SpeechRecognizer> {
        *error = QStringLiteral("model missing");
        return nullptr;
    });
    EXPECT_EQ(waitFor("failed").mid(8), QStringList{"failed:model missing"}) << "after the first stream's eight events";
    stream.reset();
    EXPECT_FALSE(givenBack);
}

// A file recognition that runs past its deadline fails, and its decoder still serves the next one.
TEST(RecognizerPoolTest, RecognitionPastItsDeadlineFailsAndKeepsTheDecoder)
{
    int loads = 0;
    RecognizerPool pool(QStringLiteral("local"), [&loads](QString*) -> std::unique_ptr<SpeechRecognizer> {
        ++loads;
        return std::make_unique<ScriptedRecognizer>(QList<ScriptedRecognizer::Step>(8, {true, "words"}));
    }, 1);
    const std::vector<std::int16_t> twoSeconds(32000, 0);
    const auto now = std::chrono::steady_clock::now();

    const FileRecognition late = pool.recognize(twoSeconds, {}, now - std::chrono::milliseconds(1));
    EXPECT_FALSE(late.text);
    EXPECT_TRUE(late.error.contains(QStringLiteral("deadline"))) << late.error.toStdString();

    const FileRecognition inTime = pool.recognize(twoSeconds, {}, now + std::chrono::minutes(1));
    EXPECT_EQ(inTime.text.value_or(QString()), QStringLiteral("WORDS")) << inTime.error.toStdString();
    EXPECT_EQ(loads, 1);
}

} // namespace
} // namespace velnor::server
