#include "AsrTestSupport.h"

#include "asr/TencentASRWebSocketClient.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace velnor {
namespace {

using Kind = TencentASRConnectionState::Kind;

struct RecordingClientDelegate final : TencentASRWebSocketClientDelegate {
    void webSocketClientDidChangeState(TencentASRWebSocketClient&, const TencentASRConnectionState& state) override
    {
        states.append(state);
    }
    void webSocketClientDidReceiveResult(TencentASRWebSocketClient&, const TencentASRResult& result) override
    {
        results.append(result);
    }
    void webSocketClientDidComplete(TencentASRWebSocketClient&, bool success) override { completions.append(success); }
    void webSocketClientDidEncounterError(TencentASRWebSocketClient&, const TencentASRError& error) override
    {
        errors.append(error);
    }

    QList<TencentASRConnectionState> states;
    QList<TencentASRResult> results;
    QList<bool> completions;
    QList<TencentASRError> errors;
};

class TencentASRWebSocketClientTest : public ::testing::Test {
protected:
    void SetUp() override { makeClient(harness.config()); }

    void makeClient(const TencentASRConfig& config)
    {
        client = std::make_unique<TencentASRWebSocketClient>(config, harness.environment());
        client->setDelegate(&delegate);
    }

    // Connects, opens the socket and answers the handshake.
    void becomeReady()
    {
        client->connect();
        harness.sockets.last().events.opened();
        harness.sockets.last().events.textReceived(test::handshakeMessage());
        harness.drain();
        ASSERT_TRUE(client->connectionState().is(Kind::Ready));
    }

    // Packets reach the socket after a hop through the audio queue and back.
    void flushSends()
    {
        client->waitForAudioQueue();
        harness.drain();
    }


    test::AsrHarness harness;
    RecordingClientDelegate delegate;
    std::unique_ptr<TencentASRWebSocketClient> client;
};

QString voiceIdIn(const test::FakeSocket& socket)
{
    return QUrlQuery(socket.url).queryItemValue(QStringLiteral("voice_id"), QUrl::FullyDecoded);
}

TEST_F(TencentASRWebSocketClientTest, HandshakeMakesTheConnectionReady)
{
    client->connect();
    ASSERT_EQ(harness.sockets.sockets.size(), 1);
    EXPECT_EQ(voiceIdIn(harness.sockets.last()), client->voiceId());
    EXPECT_EQ(harness.sockets.last().url.path(), "/asr/v2/1300000000");
    EXPECT_TRUE(client->connectionState().is(Kind::Connecting));

    harness.sockets.last().events.opened();
    EXPECT_TRUE(client->connectionState().is(Kind::Connected));
    harness.sockets.last().events.textReceived(test::handshakeMessage());
    EXPECT_TRUE(client->connectionState().is(Kind::Ready));
    harness.drain();
    // State reports read the state when they run: all three report the latest.
    ASSERT_FALSE(delegate.states.isEmpty());
    EXPECT_TRUE(delegate.states.last().is(Kind::Ready));
    EXPECT_TRUE(harness.log.mentions("✅ WebSocket握手成功，连接已就绪"));
    EXPECT_TRUE(harness.log.mentions("⚠️ 成功响应但无识别结果数据"));

    client->connect();
    EXPECT_TRUE(harness.log.mentions("WebSocket已连接或正在连接中"));
    EXPECT_EQ(harness.sockets.sockets.size(), 1);
}

TEST_F(TencentASRWebSocketClientTest, EmptyCredentialsAreAConfigurationError)
{
    TencentASRConfig config = harness.config();
    config.secretKey.clear();
    makeClient(config);
    client->connect();
    harness.drain();
    EXPECT_TRUE(harness.sockets.sockets.isEmpty());
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_EQ(delegate.errors.first().description(), "配置错误: AppID、SecretId或SecretKey为空");
    EXPECT_TRUE(client->connectionState().is(Kind::Error));
}

TEST_F(TencentASRWebSocketClientTest, FatalCodeReconnectsAfterTwoSecondsWithANewVoiceId)
{
    becomeReady();
    const QString firstId = client->voiceId();
    harness.clock.advance(5); // a later millisecond for the new id
    harness.sockets.last().events.textReceived(QStringLiteral(R"({"code":4001,"message":"参数不合法"})"));
    // The server closes normally after its error message.
    harness.sockets.last().events.closed(1000);
    harness.drain();
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_EQ(delegate.errors.first().description(), "服务器错误(4001): 参数不合法");
    EXPECT_TRUE(harness.log.mentions("将在2.0秒后进行第1次重连"));

    harness.scheduler.advanceBy(seconds(1.9));
    EXPECT_EQ(harness.sockets.sockets.size(), 1);
    harness.scheduler.advanceBy(seconds(0.1));
    ASSERT_EQ(harness.sockets.sockets.size(), 2);
    EXPECT_NE(client->voiceId(), firstId);
    EXPECT_EQ(voiceIdIn(harness.sockets.last()), client->voiceId());
    EXPECT_EQ(client->retryCount(), 1);
}

TEST_F(TencentASRWebSocketClientTest, RetriesGrowThenStopAndDisconnectResetsTheCount)
{
    client->connect();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        harness.sockets.last().events.failed(QStringLiteral("Connection refused"));
        harness.scheduler.advanceBy(seconds(2.0 * attempt));
        EXPECT_EQ(harness.sockets.sockets.size(), attempt + 1) << attempt;
    }
    harness.sockets.last().events.failed(QStringLiteral("Connection refused"));
    harness.drain();
    EXPECT_TRUE(harness.log.mentions("达到最大重试次数，停止重连"));
    harness.scheduler.advanceBy(seconds(60));
    EXPECT_EQ(harness.sockets.sockets.size(), 4);
    EXPECT_EQ(delegate.errors.size(), 4);
    EXPECT_EQ(delegate.errors.last().description(), "网络错误: Connection refused");

    client->disconnect();
    EXPECT_EQ(client->retryCount(), 0);
    client->connect();
    harness.sockets.last().events.failed(QStringLiteral("Connection refused"));
    harness.scheduler.advanceBy(seconds(2));
    EXPECT_EQ(harness.sockets.sockets.size(), 6);
}

TEST_F(TencentASRWebSocketClientTest, ErrorFollowedByBrokenConnectionReconnectsOnce)
{
    becomeReady();
    // A dropped TCP connection: the platform reports a failure, then the close.
    harness.sockets.last().events.failed(QStringLiteral("The remote host closed the connection"));
    harness.sockets.last().events.closed(1006);
    harness.scheduler.advanceBy(seconds(30));
    EXPECT_EQ(harness.sockets.sockets.size(), 2);
    EXPECT_EQ(client->retryCount(), 1);
}

TEST_F(TencentASRWebSocketClientTest, FailureAfterTheConnectionClosedIsOnlyLogged)
{
    becomeReady();
    harness.sockets.last().events.closed(1000);
    harness.sockets.last().events.failed(QStringLiteral("cancelled"));
    harness.drain();
    harness.scheduler.advanceBy(seconds(30));
    EXPECT_TRUE(delegate.errors.isEmpty());
    EXPECT_EQ(harness.sockets.sockets.size(), 1);
    EXPECT_TRUE(harness.log.mentions("ℹ️ 连接已断开，忽略URLSession完成错误: cancelled"));

    // After disconnect() the old connection's events do not reach the client at all.
    client->disconnect();
    EXPECT_EQ(harness.sockets.last().closedWith, 1000);
    harness.sockets.last().events.failed(QStringLiteral("cancelled"));
    harness.scheduler.advanceBy(seconds(30));
    EXPECT_EQ(harness.sockets.sockets.size(), 1);
}

TEST_F(TencentASRWebSocketClientTest, ConnectionTimerCoversTheUpgradeAndTheHandshake)
{
    struct Case {
        const char* name;
        bool opens; // the server accepts the WebSocket upgrade
        const char* stateText;
    };
    for (const Case& c : {Case{"no upgrade", false, "连接中"}, Case{"upgrade without handshake", true, "已连接"}}) {
        SCOPED_TRACE(c.name);
        harness.sockets.sockets.clear();
        delegate.errors.clear();
        makeClient(harness.config());
        client->connect();
        if (c.opens)
            harness.sockets.last().events.opened();
        harness.scheduler.advanceBy(seconds(29.9));
        harness.drain();
        EXPECT_TRUE(delegate.errors.isEmpty());
        harness.scheduler.advanceBy(seconds(0.1));
        harness.drain();
        ASSERT_EQ(delegate.errors.size(), 1);
        EXPECT_EQ(delegate.errors.first(), TencentASRError::timeoutError());
        EXPECT_TRUE(harness.log.mentions(QStringLiteral("⏰ 连接超时(30.0秒)，当前状态: ") + c.stateText));

        // The reconnection completes its handshake in time: its own timer does nothing.
        harness.scheduler.advanceBy(seconds(2));
        ASSERT_EQ(harness.sockets.sockets.size(), 2);
        harness.sockets.last().events.opened();
        harness.sockets.last().events.textReceived(test::handshakeMessage());
        harness.scheduler.advanceBy(seconds(40));
        harness.drain();
        EXPECT_EQ(delegate.errors.size(), 1);
        EXPECT_TRUE(client->connectionState().is(Kind::Ready));
    }
}

TEST_F(TencentASRWebSocketClientTest, AudioFlowsOnlyWhenReadyAndTheEndMarkerComesLast)
{
    client->connect();
    harness.sockets.last().events.opened();
    client->sendAudioData(QByteArray(1280, 'a'));
    EXPECT_TRUE(harness.log.mentions("🚫 连接未就绪(已连接)，跳过音频数据发送，数据大小: 1280 bytes"));
    harness.sockets.last().events.textReceived(test::handshakeMessage());
    client->startAudioStream();
    client->sendAudioData(QByteArray());
    client->sendAudioData(QByteArray(1280, 'b'));
    client->sendAudioData(QByteArray(440, 'c'));
    client->stopAudioStream();
    client->stopAudioStream();
    flushSends();
    EXPECT_EQ(harness.sockets.last().sent, (QList<QByteArray>{QByteArray(1280, 'b'), QByteArray(440, 'c'), test::endOfStream()}));
    EXPECT_TRUE(harness.log.mentions("⚠️ 尝试发送空音频数据"));
    EXPECT_TRUE(harness.log.mentions("⚠️ 音频流未激活，无需停止"));
    EXPECT_TRUE(harness.log.mentions("✅ 结束标志发送成功，等待最终识别结果"));
}

TEST_F(TencentASRWebSocketClientTest, SendFailureIsANetworkError)
{
    becomeReady();
    harness.sockets.last().failNextSend = TencentASRSocket::SendFailure{QStringLiteral("broken pipe"), false};
    client->sendAudioData(QByteArray(10, 'x'));
    flushSends();
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_EQ(delegate.errors.first().description(), "网络错误: broken pipe");
    EXPECT_TRUE(client->connectionState().is(Kind::Error));
}

// Packets still queued when the server ends the connection are dropped: the
// server's own report stands, and a normal close is not retried.
TEST_F(TencentASRWebSocketClientTest, PacketsRacingTheServersCloseAreDropped)
{
    // The transport already sees the connection closing; its close event is on its way.
    becomeReady();
    client->startAudioStream();
    harness.sockets.last().failNextSend = TencentASRSocket::SendFailure{QStringLiteral("WebSocket is not connected"), true};
    client->sendAudioData(QByteArray(1280, 'a'));
    flushSends();
    harness.sockets.last().events.closed(1000);
    harness.scheduler.advanceBy(seconds(30));
    harness.drain();
    EXPECT_TRUE(delegate.errors.isEmpty());
    EXPECT_TRUE(client->connectionState().is(Kind::Disconnected));
    EXPECT_EQ(harness.sockets.sockets.size(), 1);

    // The server reported a fatal error before closing: packets queued
    // behind it are neither sent nor reported over it.
    delegate.errors.clear();
    makeClient(harness.config());
    becomeReady();
    client->startAudioStream();
    client->sendAudioData(QByteArray(1280, 'b'));
    client->stopAudioStream();
    harness.sockets.last().events.textReceived(QStringLiteral(R"({"code":4005,"message":"音频解码失败"})"));
    flushSends();
    EXPECT_TRUE(harness.sockets.last().sent.isEmpty());
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_EQ(client->connectionState().errorValue(), TencentASRError::serverError(4005, QStringLiteral("音频解码失败")));
    EXPECT_TRUE(harness.log.mentions("丢弃待发送数据"));
}

TEST_F(TencentASRWebSocketClientTest, ResultsAndTheFinalMessageReachTheDelegate)
{
    becomeReady();
    harness.sockets.last().events.binaryReceived(test::resultMessage(1, 0, QStringLiteral("你好")).toUtf8());
    harness.sockets.last().events.binaryReceived(QByteArray("\xff\xfe{", 3));
    harness.sockets.last().events.textReceived(QStringLiteral(R"({"code":0,"final":1,"voice_id":"v1"})"));
    harness.drain();
    ASSERT_EQ(delegate.results.size(), 1);
    EXPECT_EQ(delegate.results.first().voiceTextStr, "你好");
    EXPECT_EQ(delegate.completions, QList<bool>{true});
    EXPECT_TRUE(harness.log.mentions("❌ 无法解析二进制消息为UTF-8文本"));
    EXPECT_TRUE(harness.log.mentions("🏁 收到最终识别结果但内容为空"));
    EXPECT_TRUE(delegate.errors.isEmpty());

    // Lengths in the log count characters as a reader sees them.
    harness.sockets.last().events.textReceived(test::resultMessage(1, 1, QStringLiteral("👍🏽好")));
    EXPECT_TRUE(harness.log.mentions("🎯 识别成功 - 文本: [👍🏽好] (2字符), 类型: 1, 索引: 1"));
}

TEST_F(TencentASRWebSocketClientTest, LooseReadingOfMessagesTheStrictDecoderRejects)
{
    becomeReady();
    harness.sockets.last().events.textReceived(QStringLiteral(R"({"code":4002,"message":"签名错误","result":5})"));
    harness.drain();
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_EQ(delegate.errors.last(), TencentASRError::serverError(4002, "签名错误"));

    harness.sockets.last().events.textReceived(QStringLiteral(R"({"code":"4002"})"));
    harness.sockets.last().events.textReceived(QStringLiteral("<html>"));
    harness.drain();
    ASSERT_EQ(delegate.errors.size(), 3);
    EXPECT_EQ(delegate.errors[1].description(), "解析错误: JSON格式不符合预期");
    EXPECT_TRUE(delegate.errors[2].description().startsWith("解析错误: JSON解析失败: "));
    EXPECT_TRUE(harness.log.mentions("🔧 完全无法解析的响应"));
}

} // namespace
} // namespace velnor
