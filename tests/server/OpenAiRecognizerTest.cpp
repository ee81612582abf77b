// The OpenAI-compatible recogniser's requests and answers, and real-time
// results re-transcribed on virtual time.
#include "recognition/RetranscribingStream.h"
#include "recognition/openai/TranscriptionRequest.h"
#include "StreamEvents.h"

#include <gtest/gtest.h>

#include <deque>
#include <numeric>

namespace velnor::server {
namespace {

// The audio file and the hot-word prompt a request carries.
TEST(TranscriptionRequestTest, WavHeaderDescribes16kMono16BitAndHotWordPromptNamesEachWordOnceWithinItsLength)
{
    // RIFF size 42, PCM, mono, 16000 Hz, 32000 bytes/s, 2-byte frames, 16 bits, 6 data bytes, then the samples.
    EXPECT_EQ(wavFile(std::vector<std::int16_t>{1, -2, 3}).toHex(),
              "524946462a000000" "57415645666d7420" "1000000001000100" "803e0000007d0000" "02001000"
              "6461746106000000" "0100feff0300");

    EXPECT_EQ(hotWordPrompt({}), QString());
    EXPECT_EQ(hotWordPrompt({" ", ""}), QString());
    EXPECT_EQ(hotWordPrompt({"Velnor", " velnor  app ", "Velnor"}), QStringLiteral("Velnor, velnor app."));
    QStringList words;
    for (int i = 0; i < 100; ++i)
        words << QStringLiteral("word%1").arg(i, 3, 10, QLatin1Char('0'));
    const QString prompt = hotWordPrompt(words);
    EXPECT_LE(prompt.size(), 401);
    EXPECT_TRUE(prompt.startsWith(QStringLiteral("word000, word001"))) << prompt.toStdString();
}

TEST(TranscriptionRequestTest, AnswersGiveTheTextOrSayWhyNot)
{
    struct Case {
        int status;
        QByteArray body;
        std::optional<QString> text;
        QString errorPart;
    };
    const QList<Case> cases{
        {200, R"({"text":"  hello world "})", QStringLiteral("hello world"), {}},
        {200, R"({"text":""})", QString(), {}},
        {401, R"({"error":{"message":"Incorrect API key provided","type":"invalid_request_error"}})", std::nullopt,
         "HTTP 401: Incorrect API key provided"},
        {500, R"({"error":"model not loaded"})", std::nullopt, "HTTP 500: model not loaded"},
        {502, "<html>Bad Gateway</html>", std::nullopt, "HTTP 502"},
        {200, "<html>not json</html>", std::nullopt, "not a transcription"},
        {200, R"({"text":42})", std::nullopt, "not a transcription"},
        {200, R"(["text"])", std::nullopt, "not a transcription"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        const FileRecognition answer = parseTranscriptionAnswer(c.status, c.body);
        EXPECT_EQ(answer.text, c.text);
        EXPECT_TRUE(answer.error.contains(c.errorPart)) << answer.error.toStdString();
    }
}

// Virtual time: the test fires the timer (calling a stopped one throws), and runs
// queued transcriptions when it chooses.
class ManualTimer final : public RepeatingTimer {
public:
    explicit ManualTimer(std::function<void()>* tick) : m_tick(tick) {}
    void start(std::chrono::milliseconds, std::function<void()> tick) override { *m_tick = std::move(tick); }
    void stop() override { *m_tick = nullptr; }

private:
    std::function<void()>* m_tick;
};

class RetranscribingStreamTest : public ::testing::Test {
protected:
    std::unique_ptr<RetranscribingStream> open()
    {
        RetranscribingStream::Setup setup{
            [this](std::span<const std::int16_t> samples, const RecognitionContext&,
                   std::chrono::steady_clock::time_point, const std::atomic<bool>&) {
                const qint64 ms = qint64(samples.size()) / 16;
                transcribedMs.push_back(ms);
                if (failAt && *failAt == transcribedMs.size())
                    return FileRecognition::failed(QStringLiteral("HTTP 401"));
                return FileRecognition::heard(ms >= 1000 ? QStringLiteral("heard %1 s").arg(ms / 1000) : QString());
            },
            [this](std::function<void()> job) { jobs.push_back(std::move(job)); },
            std::make_unique<ManualTimer>(&tick), std::chrono::milliseconds(1500), std::chrono::seconds(30)};
        return std::make_unique<RetranscribingStream>(std::move(setup), RecognitionContext{},
                                                      [this](const StreamEvent& e) { events << test::describe(e); });
    }
    static QByteArray audio(int ms) { return QByteArray(ms * 32, 0); }
    void runJobs()
    {
        for (; !jobs.empty(); jobs.pop_front())
            jobs.front()();
    }

    std::function<void()> tick;
    std::deque<std::function<void()>> jobs;
    std::vector<qint64> transcribedMs;
    std::optional<std::size_t> failAt;
    QStringList events;
};

// The last transcription is still running when more audio and a tick come,
// and when the stream ends.
TEST_F(RetranscribingStreamTest, PartialsGrowOneTranscriptionAtATimeAndTheEndIsTranscribedOnceMore)
{
    auto stream = open();
    tick();
    EXPECT_TRUE(jobs.empty()) << "no audio yet: nothing to transcribe";
    stream->push(audio(1500));
    tick();
    runJobs();
    tick();
    EXPECT_TRUE(jobs.empty()) << "no new audio since the last transcription";
    stream->push(audio(1500));
    tick();
    stream->push(audio(500));
    tick();
    EXPECT_EQ(jobs.size(), 1u) << "one transcription at a time";
    stream->finish();
    EXPECT_EQ(jobs.size(), 1u) << "the final one waits for the running one";
    runJobs();
    EXPECT_FALSE(tick) << "the timer stops at the end";
    EXPECT_EQ(events, (QStringList{"ready", "0/0/0-1500:heard 1 s", "1/0/0-3000:heard 3 s", "2/0/0-3500:heard 3 s", "finished"}));
    EXPECT_EQ(transcribedMs, (std::vector<qint64>{1500, 3000, 3500}));
}

TEST_F(RetranscribingStreamTest, AFailedTranscriptionFailsTheStreamOnceAndAGoneStreamReportsNothing)
{
    failAt = 1;
    auto stream = open();
    stream->push(audio(2000));
    tick();
    runJobs();
    stream->finish();
    runJobs();
    EXPECT_EQ(events, (QStringList{"ready", "failed:HTTP 401"}));

    stream.reset();
    events.clear();
    stream = open();
    stream->push(audio(2000));
    tick();
    stream.reset();
    runJobs();
    EXPECT_EQ(events, QStringList{"ready"});
}

// What re-transcribing costs: a minute of dictation in 20 ms packets.
TEST_F(RetranscribingStreamTest, AMinuteOfDictationResendsItsAudioAboutTwentyTimes)
{
    auto stream = open();
    for (int ms = 20; ms <= 60000; ms += 20) {
        stream->push(audio(20));
        if (ms % 1500 == 0) {
            tick();
            runJobs();
        }
    }
    stream->finish();
    runJobs();
    const qint64 sentMs = std::accumulate(transcribedMs.begin(), transcribedMs.end(), qint64(0));
    std::printf("60 s dictation: %zu transcriptions, %.1f s of audio sent\n", transcribedMs.size(), double(sentMs) / 1000);
    EXPECT_EQ(transcribedMs.size(), 41u);
    EXPECT_EQ(sentMs, 1290000);
}

} // namespace
} // namespace velnor::server
