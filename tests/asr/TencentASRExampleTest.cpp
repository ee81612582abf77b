#include "AsrTestSupport.h"

#include "asr/TencentASRExample.h"
#include "platform/fake/FakeMicrophonePermission.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace velnor {
namespace {

// A capture whose buffers the test delivers by hand (as the audio thread),
// through a probe that outlives it.
struct ScriptedAudioCapture final : AudioCapture {
    struct Probe {
        bool alive = false;
        bool stopped = false;
        int requestedFrames = 0;
        BufferCallback deliver;
    };
    explicit ScriptedAudioCapture(Probe& into)
        : probe(into)
    {
        probe = Probe{};
        probe.alive = true;
    }
    ~ScriptedAudioCapture() override { probe.alive = false; }
    bool isAvailable() const override { return true; }
    std::optional<AudioFormat> inputFormat() const override { return TencentASRExample::targetFormat(); }
    std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) override
    {
        probe.requestedFrames = framesPerBuffer;
        probe.deliver = std::move(onBuffer);
        return std::nullopt;
    }
    void stop() override
    {
        probe.stopped = true;
        probe.deliver = nullptr;
    }
    Probe& probe;
};

// 512 frames of 16 kHz mono 16-bit audio whose samples all hold `tag`.
AudioBuffer taggedBuffer(int tag, int frames = 512)
{
    AudioBuffer buffer{TencentASRExample::targetFormat(), QByteArray(frames * 2, Qt::Uninitialized)};
    for (int i = 0; i < frames; ++i)
        qToLittleEndian<qint16>(qint16(tag), buffer.data.data() + 2 * i);
    return buffer;
}

class TencentASRExampleTest : public ::testing::Test {
protected:
    void SetUp() override { makeExample(); }

    void makeExample()
    {
        example.reset();
        TencentASRExampleDependencies deps{
            harness.environment(),
            harness.config(),
            permission,
            [this] { return std::make_unique<ScriptedAudioCapture>(capture); },
            nullptr}; // the capture delivers the target format: nothing to convert
        example = std::make_unique<TencentASRExample>(std::move(deps));
        example->setRecognitionCompletionHandler([this](const QString& text) { completions.append(text); });
    }

    void start()
    {
        example->connectAndStartRecording();
        harness.drain(); // the permission answer arrives on the main thread
        ASSERT_TRUE(capture.alive);
    }

    // Runs queues and main-thread hops until nothing moves any more.
    void settle()
    {
        for (int quiet = 0; quiet < 2;) {
            example->waitForAudioQueues();
            if (auto* client = example->asrService()->webSocketClient())
                client->waitForAudioQueue();
            quiet = harness.drain() == 0 ? quiet + 1 : 0;
        }
    }

    test::AsrHarness harness;
    FakeMicrophonePermission permission;
    ScriptedAudioCapture::Probe capture;
    std::unique_ptr<TencentASRExample> example;
    QStringList completions;
};

// Audio recorded before the connection is ready is cached (the newest 500
// buffers) and sent once it is, followed by the end marker even when the
// key went up before; the completion hands over the text heard.
TEST_F(TencentASRExampleTest, TheNewest500CachedBuffersAndTheEndMarkerFollowAStopBeforeReady)
{
    start();
    EXPECT_EQ(capture.requestedFrames, 512);
    QByteArray expected;
    for (int i = 0; i < 600; ++i) {
        capture.deliver(taggedBuffer(i, 16));
        if (i >= 100)
            expected += taggedBuffer(i, 16).data;
    }
    example->stopRecording();
    EXPECT_TRUE(capture.stopped);
    EXPECT_FALSE(capture.alive) << "the capture is released at stop";
    settle();
    EXPECT_EQ(example->cachedBufferCount(), 500);
    EXPECT_EQ(harness.log.count("⚠️ 音频缓存达到上限，移除最早的缓存"), 100);
    EXPECT_TRUE(harness.log.mentions("⏸️ 停止录音时仍在缓存模式，保留缓存数据等待连接，当前缓存数量: 500"));
    harness.openAndHandshake();
    settle();
    ASSERT_FALSE(harness.socket().sent.isEmpty());
    EXPECT_EQ(harness.socket().sent.last(), test::endOfStream());
    QByteArray sentAudio;
    for (const QByteArray& packet : std::as_const(harness.socket().sent))
        if (packet != test::endOfStream())
            sentAudio += packet;
    EXPECT_EQ(sentAudio, expected);
    EXPECT_EQ(harness.log.count("⚠️ 识别未启动"), 0) << "no cached audio may be dropped";

    harness.socket().events.textReceived(test::resultMessage(1, 0, "abc"));
    harness.socket().events.textReceived(QStringLiteral(R"({"code":0,"final":1})"));
    settle();
    EXPECT_EQ(completions, QStringList{"abc"}) << "no final text: the current one";
    EXPECT_FALSE(example->isRecording());
    harness.socket().events.textReceived(test::resultMessage(2, 0, "abcd"));
    harness.socket().events.textReceived(QStringLiteral(R"({"code":0,"final":1})"));
    settle();
    EXPECT_EQ(completions, (QStringList{"abc", "abcd"})) << "the final text wins";
}

TEST_F(TencentASRExampleTest, MicrophonePermissionIsAskedForARefusalStillConnectsAndALateAnswerDoesNothing)
{
    permission.setStatus(MicrophonePermission::Status::NotDetermined);
    start();
    EXPECT_EQ(permission.requestCount(), 1);
    EXPECT_TRUE(example->isRecording());

    makeExample();
    permission.setStatus(MicrophonePermission::Status::Denied);
    example->connectAndStartRecording();
    harness.drain();
    EXPECT_FALSE(capture.alive);
    EXPECT_EQ(example->errorMessage(), "需要麦克风权限才能进行语音识别");
    EXPECT_EQ(harness.sockets.size(), 2);

    // The answer can come after the dictation ended and its client was
    // dropped (the address sanitizer sees any touch of it).
    struct DeferredPermission final : MicrophonePermission {
        Status status() const override { return Status::NotDetermined; }
        void request(std::function<void(bool)> answer) override { pending = std::move(answer); }
        std::function<void(bool)> pending;
    } deferred;
    auto client = std::make_unique<TencentASRExample>(
        TencentASRExampleDependencies{harness.environment(), harness.config(), deferred, {}, {}});
    client->connectAndStartRecording();
    ASSERT_TRUE(deferred.pending);
    client.reset();
    deferred.pending(true);
    harness.drain();
    EXPECT_EQ(harness.log.count("设置缓存模式音频录制"), 1) << "only the first dictation's";
}

TEST_F(TencentASRExampleTest, TheCacheIsDroppedOnADisconnectAnErrorOrAfterTenSecondsWithoutAConnection)
{
    struct Case {
        const char* name;
        std::function<void()> end;
        QString error;
    };
    const QList<Case> cases = {
        {"disconnect",
         [this] {
             example->disconnect();
             settle();
             EXPECT_FALSE(example->isRecording());
             EXPECT_EQ(harness.scheduler.pendingCount(), 0u);
             EXPECT_EQ(harness.socket().closedWith, 1000);
         },
         {}},
        {"connection refused", [this] { harness.socket().events.failed(QStringLiteral("Connection refused")); },
         QStringLiteral("网络错误: Connection refused")},
        {"ten seconds",
         [this] {
             harness.scheduler.advanceBy(seconds(9.9));
             settle();
             EXPECT_EQ(example->cachedBufferCount(), 5);
             harness.scheduler.advanceBy(seconds(0.1));
         },
         QStringLiteral("连接超时，请重试")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeExample();
        start();
        for (int i = 0; i < 5; ++i)
            capture.deliver(taggedBuffer(i));
        c.end();
        settle();
        EXPECT_EQ(example->cachedBufferCount(), 0);
        if (!c.error.isEmpty()) {
            EXPECT_EQ(example->errorMessage(), c.error);
        }
    }
    // A connection that becomes ready after the ten seconds does not start recognition.
    harness.openAndHandshake();
    capture.deliver(taggedBuffer(9));
    settle();
    EXPECT_FALSE(example->asrService()->isRecognizing());
    EXPECT_TRUE(harness.socket().sent.isEmpty());
}

} // namespace
} // namespace velnor
