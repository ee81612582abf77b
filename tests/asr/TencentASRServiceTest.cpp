#include "AsrTestSupport.h"

#include "asr/TencentASRClientFactory.h"
#include "config/DeploymentConfig.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace velnor {
namespace {

using Kind = TencentASRConnectionState::Kind;

template <typename T>
AudioBuffer bufferOf(std::initializer_list<T> samples, AudioFormat format)
{
    return AudioBuffer{format, QByteArray(reinterpret_cast<const char*>(std::data(samples)), qsizetype(samples.size() * sizeof(T)))};
}

// A service on fake sockets, every report it makes recorded. The client's
// own behaviour is tested through it too: client() is the one it made.
class TencentASRServiceTest : public ::testing::Test {
protected:
    TencentASRServiceTest() { makeService(harness.config()); }

    void makeService(const TencentASRConfig& config)
    {
        service = std::make_unique<TencentASRService>(config, harness.environment());
        service->setDelegate(&delegate);
        delegate.events.clear();
    }

    // A fresh service whose connection is ready.
    void becomeReady()
    {
        makeService(harness.config());
        service->connect();
        harness.openAndHandshake();
        harness.drain();
        ASSERT_TRUE(service->connectionState().is(Kind::Ready));
    }

    void receive(const QString& message)
    {
        socket().events.textReceived(message);
        harness.drain();
    }

    // Packets reach the socket after a hop through the audio queue and back.
    void flushSends()
    {
        client().waitForAudioQueue();
        harness.drain();
    }

    TencentASRWebSocketClient& client() { return *service->webSocketClient(); }
    test::FakeSocket& socket() { return harness.socket(); }
    qsizetype connections() const { return harness.sockets.size(); }
    QStringList errors() const { return delegate.events.filter("error:"); }

    test::AsrHarness harness;
    test::RecordingServiceDelegate delegate;
    std::unique_ptr<TencentASRService> service;
};

class TencentASRWebSocketClientTest : public TencentASRServiceTest {};

QString voiceIdIn(const test::FakeSocket& socket)
{
    return QUrlQuery(socket.url).queryItemValue(QStringLiteral("voice_id"), QUrl::FullyDecoded);
}

TEST_F(TencentASRWebSocketClientTest, HandshakeMakesTheConnectionReadyForAudioAndTheEndMarkerComesLast)
{
    // Hot words a URL must escape: a "+" or a space left raw would read as a space.
    harness.hotWords.words = {{QStringLiteral("C++ & a=b?#%/"), 3}, {QStringLiteral("naïve 👩‍💻"), 2}};
    service->connect();
    ASSERT_EQ(connections(), 1);
    EXPECT_EQ(voiceIdIn(socket()), client().voiceId());
    EXPECT_EQ(socket().url.path(), "/asr/v2/1300000000");
    const QString query = socket().url.query(QUrl::FullyEncoded);
    EXPECT_FALSE(query.contains('+') || query.contains(' ')) << query.toStdString();
    EXPECT_EQ(QUrlQuery(socket().url).queryItemValue(QStringLiteral("hotword_list"), QUrl::FullyDecoded),
              QStringLiteral("C++ & a=b?#%/|3,naïve 👩‍💻|2"));
    EXPECT_TRUE(client().connectionState().is(Kind::Connecting));
    socket().events.opened();
    EXPECT_TRUE(client().connectionState().is(Kind::Connected));
    // Audio flows only once the connection is ready.
    client().sendAudioData(QByteArray(1280, 'a'));
    EXPECT_TRUE(harness.log.mentions("🚫 连接未就绪(已连接)，跳过音频数据发送，数据大小: 1280 bytes"));
    socket().events.textReceived(test::handshakeMessage());
    EXPECT_TRUE(client().connectionState().is(Kind::Ready));
    harness.drain();
    // State reports read the state when they run: all three report the latest.
    EXPECT_EQ(delegate.events.count("state:" + TencentASRConnectionState::ready().statusText()), 3);
    EXPECT_TRUE(harness.log.mentions("✅ WebSocket握手成功，连接已就绪"));
    // The end marker comes last.
    client().startAudioStream();
    client().sendAudioData(QByteArray());
    client().sendAudioData(QByteArray(1280, 'b'));
    client().sendAudioData(QByteArray(440, 'c'));
    client().stopAudioStream();
    client().stopAudioStream();
    flushSends();
    EXPECT_EQ(socket().sent, (QList<QByteArray>{QByteArray(1280, 'b'), QByteArray(440, 'c'), test::endOfStream()}));
    EXPECT_TRUE(harness.log.mentions("⚠️ 尝试发送空音频数据"));
    EXPECT_TRUE(harness.log.mentions("⚠️ 音频流未激活，无需停止"));

    client().connect();
    EXPECT_TRUE(harness.log.mentions("WebSocket已连接或正在连接中"));
    EXPECT_EQ(connections(), 1);
}

TEST_F(TencentASRWebSocketClientTest, RetriesGrowThenStop)
{
    service->connect();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        socket().events.failed(QStringLiteral("Connection refused"));
        harness.scheduler.advanceBy(seconds(2.0 * attempt));
        EXPECT_EQ(connections(), attempt + 1) << attempt;
    }
    socket().events.failed(QStringLiteral("Connection refused"));
    harness.drain();
    EXPECT_TRUE(harness.log.mentions("达到最大重试次数，停止重连"));
    harness.scheduler.advanceBy(seconds(60));
    EXPECT_EQ(connections(), 4);
    EXPECT_EQ(errors().size(), 4);
    EXPECT_EQ(errors().last(), "error:网络错误: Connection refused");
}

TEST_F(TencentASRWebSocketClientTest, AFailureAndACloseOfOneConnectionReconnectAtMostOnce)
{
    // A fatal code, then the server's normal close: one retry, two seconds on, under a new voice id.
    becomeReady();
    const QString firstId = client().voiceId();
    harness.clock.advance(5); // a later millisecond for the new id
    socket().events.textReceived(QStringLiteral(R"({"code":4001,"message":"参数不合法"})"));
    socket().events.closed(1000);
    harness.scheduler.advanceBy(seconds(1.9));
    EXPECT_EQ(connections(), 1);
    harness.scheduler.advanceBy(seconds(30));
    ASSERT_EQ(connections(), 2);
    EXPECT_NE(voiceIdIn(socket()), firstId);
    EXPECT_EQ(client().retryCount(), 1);

    // An abnormal close alone (a server's 1011) is retried without an error.
    becomeReady();
    socket().events.closed(1011);
    harness.scheduler.advanceBy(seconds(30));
    harness.drain();
    EXPECT_EQ(connections(), 4);
    EXPECT_TRUE(errors().isEmpty());

    // A dropped TCP connection: the platform reports a failure, then the close.
    becomeReady();
    socket().events.failed(QStringLiteral("The remote host closed the connection"));
    socket().events.closed(1006);
    harness.scheduler.advanceBy(seconds(30));
    EXPECT_EQ(connections(), 6);
    EXPECT_EQ(client().retryCount(), 1);

    // A failure after a normal close is only logged.
    becomeReady();
    socket().events.closed(1000);
    socket().events.failed(QStringLiteral("cancelled"));
    harness.scheduler.advanceBy(seconds(30));
    harness.drain();
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_EQ(connections(), 7);
    EXPECT_TRUE(harness.log.mentions("ℹ️ 连接已断开，忽略URLSession完成错误: cancelled"));

    // After disconnect() the old connection's events do not reach the client at all.
    client().disconnect();
    EXPECT_EQ(socket().closedWith, 1000);
    socket().events.failed(QStringLiteral("cancelled"));
    harness.scheduler.advanceBy(seconds(30));
    EXPECT_EQ(connections(), 7);
}

TEST_F(TencentASRWebSocketClientTest, ConnectionTimerCoversTheUpgradeAndTheHandshake)
{
    for (const auto& [opens, stateText] : {std::pair{false, "连接中"}, std::pair{true, "已连接"}}) {
        SCOPED_TRACE(stateText);
        harness.sockets.clear();
        makeService(harness.config());
        service->connect();
        if (opens) // the server accepts the WebSocket upgrade
            socket().events.opened();
        harness.scheduler.advanceBy(seconds(29.9));
        harness.drain();
        EXPECT_TRUE(errors().isEmpty());
        harness.scheduler.advanceBy(seconds(0.1));
        harness.drain();
        EXPECT_EQ(errors(), QStringList{"error:" + TencentASRError::timeoutError().description()});
        EXPECT_TRUE(harness.log.mentions(QStringLiteral("⏰ 连接超时(30.0秒)，当前状态: ") + stateText));

        // The reconnection completes its handshake in time: its own timer does nothing.
        harness.scheduler.advanceBy(seconds(2));
        ASSERT_EQ(connections(), 2);
        harness.openAndHandshake();
        harness.scheduler.advanceBy(seconds(40));
        harness.drain();
        EXPECT_EQ(errors().size(), 1);
        EXPECT_TRUE(client().connectionState().is(Kind::Ready));
    }
}

// Packets still queued when the server ends the connection are dropped: the
// server's own report stands, and a normal close is not retried. Any other
// failed send is a network error.
TEST_F(TencentASRWebSocketClientTest, FailedSendsAreNetworkErrorsUnlessTheServerIsClosing)
{
    // The transport already sees the connection closing; its close event is on its way.
    becomeReady();
    client().startAudioStream();
    socket().failNextSend = TencentASRSocket::SendFailure{QStringLiteral("WebSocket is not connected"), true};
    client().sendAudioData(QByteArray(1280, 'a'));
    flushSends();
    socket().events.closed(1000);
    harness.scheduler.advanceBy(seconds(30));
    harness.drain();
    EXPECT_TRUE(errors().isEmpty());
    EXPECT_TRUE(client().connectionState().is(Kind::Disconnected));
    EXPECT_EQ(connections(), 1);

    // The server reported a fatal error before closing: packets queued
    // behind it are neither sent nor reported over it.
    becomeReady();
    client().startAudioStream();
    client().sendAudioData(QByteArray(1280, 'b'));
    client().stopAudioStream();
    socket().events.textReceived(QStringLiteral(R"({"code":4005,"message":"音频解码失败"})"));
    flushSends();
    EXPECT_TRUE(socket().sent.isEmpty());
    ASSERT_EQ(errors().size(), 1);
    EXPECT_EQ(client().connectionState().errorValue(), TencentASRError::serverError(4005, QStringLiteral("音频解码失败")));
    EXPECT_TRUE(harness.log.mentions("丢弃待发送数据"));

    // A send failing on an open connection is the network error.
    becomeReady();
    socket().failNextSend = TencentASRSocket::SendFailure{QStringLiteral("broken pipe"), false};
    client().sendAudioData(QByteArray(10, 'x'));
    flushSends();
    EXPECT_EQ(errors(), QStringList{"error:网络错误: broken pipe"});
    EXPECT_TRUE(client().connectionState().is(Kind::Error));
}

// How each server message is read: results reach the delegate, the final
// flag completes, 4008 is reported while the stream goes on, and what the
// strict decoder rejects is read loosely for a code or is a parse error.
TEST_F(TencentASRWebSocketClientTest, EachKindOfServerMessageIsReadAndReported)
{
    struct Case {
        const char* name;
        QByteArray message;
        bool binary;
        QString error; // the start of the reported error's description; empty: none
        QString logged;
        qsizetype results;
        qsizetype completions;
    };
    const Case cases[] = {
        {"result", test::resultMessage(1, 0, QStringLiteral("你好")).toUtf8(), true, {},
         QStringLiteral("🎯 识别成功 - 文本: [你好] (2字符), 类型: 1, 索引: 0"), 1, 0},
        // Lengths in the log count characters as a reader sees them.
        {"grapheme clusters", test::resultMessage(1, 1, QStringLiteral("👍🏽好")).toUtf8(), false, {},
         QStringLiteral("🎯 识别成功 - 文本: [👍🏽好] (2字符), 类型: 1, 索引: 1"), 1, 0},
        {"not UTF-8", QByteArray("\xff\xfe{", 3), true, {}, QStringLiteral("❌ 无法解析二进制消息为UTF-8文本"), 0, 0},
        {"final without text", R"({"code":0,"final":1,"voice_id":"v1"})", false, {},
         QStringLiteral("🏁 收到最终识别结果但内容为空"), 0, 1},
        {"4008 goes on", R"({"code":4008,"message":"客户端数据上传超时"})", false,
         QStringLiteral("服务器错误(4008): 客户端数据上传超时"), QStringLiteral("⚠️ 非致命错误 (4008): 客户端数据上传超时 - 继续处理"), 0, 0},
        {"code beside a mistyped result", R"({"code":4002,"message":"签名错误","result":5})", false,
         QStringLiteral("服务器错误(4002): 签名错误"), QStringLiteral("🔧 解析到错误响应 - 代码: 4002, 消息: 签名错误"), 0, 0},
        {"code as a string", R"({"code":"4002"})", false, QStringLiteral("解析错误: JSON格式不符合预期"),
         QStringLiteral("🔧 JSON格式不符合预期"), 0, 0},
        {"not JSON", "<html>", false, QStringLiteral("解析错误: JSON解析失败: "), QStringLiteral("🔧 完全无法解析的响应"), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        becomeReady();
        if (c.binary)
            socket().events.binaryReceived(c.message);
        else
            socket().events.textReceived(QString::fromUtf8(c.message));
        harness.drain();
        EXPECT_TRUE(harness.log.mentions(c.logged));
        EXPECT_EQ(delegate.events.filter("result:").size(), c.results);
        EXPECT_EQ(delegate.events.count("complete"), c.completions);
        ASSERT_EQ(errors().size(), c.error.isEmpty() ? 0 : 1);
        if (!c.error.isEmpty()) {
            EXPECT_TRUE(errors().first().startsWith("error:" + c.error)) << errors().first().toStdString();
        }
        // Only a fatal error ends the connection.
        const bool fatal = !c.error.isEmpty() && !c.error.contains(QStringLiteral("4008"));
        EXPECT_EQ(client().connectionState().is(Kind::Ready), !fatal);
    }
}

// Its working path (wss with a private CA read from its file) is
// RealtimeControllerIntegrationTest.SpokenWordsReachTheFocusedField's.
TEST(TencentASRClientFactoryTest, KeepsTheSecretKeyOutOfLogsAndReportsAnUnreadableCa)
{
    DeploymentConfig deployment;
    deployment.asrAppId = QStringLiteral("1300000001");
    deployment.asrSecretId = QStringLiteral("id");
    deployment.asrSecretKey = QStringLiteral("k3y-that-must-not-leak");
    deployment.realtimeCaCertificateFile = QStringLiteral("/nonexistent/ca.pem");
    test::AsrHarness harness;
    TencentASRClientFactory factory(deployment, harness.clock, &harness.hotWords, harness.log.recognitionLogger(),
                                    harness.scheduler, harness.log.redactor());
    EXPECT_EQ(harness.log.redactor().redact(QStringLiteral("key=k3y-that-must-not-leak")), "key=<redacted>");
    EXPECT_TRUE(factory.caCertificateError().has_value());
}

// Without credentials nothing connects. Never connected, disconnected by its
// owner, or closed by the server while recognizing: there is no connection
// to start on, and audio is refused.
TEST_F(TencentASRServiceTest, StartWithoutAReadyConnectionOrCredentialsIsAnError)
{
    // Validation reports the first empty credential only, and connects nothing.
    TencentASRConfig config = harness.config();
    config.appId.clear();
    config.secretId.clear();
    makeService(config);
    service->connect();
    harness.drain();
    EXPECT_EQ(delegate.events, QStringList{"error:配置错误: AppID不能为空"});
    EXPECT_TRUE(harness.sockets.isEmpty());
    EXPECT_TRUE(harness.log.mentions("❌ 配置验证失败: 配置错误: AppID不能为空"));

    config = harness.config();
    config.secretKey = QStringLiteral("   ");
    makeService(config);
    EXPECT_FALSE(service->validateConfig());

    for (const char* before : {"never connected", "its own disconnect", "the server's close"}) {
        SCOPED_TRACE(before);
        makeService(harness.config());
        if (before != std::string_view("never connected")) {
            becomeReady();
            service->startRecognition();
            if (before == std::string_view("the server's close"))
                socket().events.closed(1000);
            else
                service->disconnect();
            harness.drain();
            EXPECT_FALSE(service->isRecognizing());
            EXPECT_EQ(delegate.events.last(), "state:" + TencentASRConnectionState::disconnected().statusText());
        }
        delegate.events.clear();
        service->startRecognition();
        harness.drain();
        EXPECT_EQ(delegate.events, QStringList{"error:连接错误: WebSocket未就绪，当前状态: 已断开"});
        EXPECT_FALSE(service->isRecognizing());
    }
    EXPECT_TRUE(harness.log.mentions("⚠️ 识别过程中连接断开，停止识别"));
    service->sendAudioData(QByteArray(100, 'x'));
    EXPECT_TRUE(harness.log.mentions("⚠️ 识别未启动，忽略音频数据: 100字节"));
}

// Segments of one index replace each other, a later index appends; a
// reconnection's stream restarts its indices at 0 without overwriting what
// the first stream recognised; a new recognition starts from nothing.
TEST_F(TencentASRServiceTest, SegmentsAssembleIntoCurrentAndFinalTextAcrossAReconnection)
{
    becomeReady();
    service->startRecognition();
    delegate.events.clear();
    receive(test::resultMessage(1, 0, "ab"));
    receive(test::resultMessage(2, 0, "abc"));
    receive(test::resultMessage(1, 1, "d"));
    EXPECT_EQ(delegate.events, (QStringList{"partial:ab", "result:ab", "final:abc", "result:abc", "partial:abcd", "result:d"}));
    EXPECT_EQ(service->currentText(), "abcd");
    EXPECT_EQ(service->finalText(), "abc");
    // A non-fatal 4008 is reported and the stream goes on.
    receive(QStringLiteral(R"({"code":4008,"message":"客户端数据上传超时"})"));
    EXPECT_EQ(delegate.events.last(), "error:服务器错误(4008): 客户端数据上传超时");
    EXPECT_TRUE(service->isRecognizing());
    EXPECT_TRUE(service->connectionState().is(TencentASRConnectionState::Kind::Ready));

    receive(test::resultMessage(1, 3, "f"));
    receive(test::resultMessage(2, 2, "e"));
    EXPECT_EQ(service->currentText(), "abcdef");
    EXPECT_EQ(service->finalText(), "abcdef");

    harness.clock.advance(5); // a later millisecond for the new voice id
    socket().events.failed(QStringLiteral("The remote host closed the connection"));
    harness.scheduler.advanceBy(seconds(2));
    ASSERT_EQ(harness.sockets.size(), 2);
    harness.openAndHandshake();
    receive(test::resultMessage(1, 0, "gh"));
    EXPECT_EQ(service->currentText(), "abcdefgh");
    receive(test::resultMessage(2, 0, "ghi"));
    EXPECT_EQ(service->finalText(), "abcdefghi");

    receive(QStringLiteral(R"({"code":0,"final":1})"));
    EXPECT_EQ(delegate.events.last(), "complete");
    EXPECT_FALSE(service->isRecognizing());
    EXPECT_EQ(service->finalText(), "abcdefghi") << "the texts outlive the stream";
    service->startRecognition();
    receive(test::resultMessage(2, 0, "x"));
    EXPECT_EQ(service->finalText(), "x");
}

// Float samples are limited and truncated; only channel 0 is kept, whatever the layout.
TEST(TencentASRConversionTest, ConvertsToMono16Bit)
{
    test::LogCapture log;
    const auto convert = [&](const AudioBuffer& buffer) { return TencentASRService::convertPCMBufferToData(buffer, log.recognitionLogger()); };
    const AudioFormat mono{16000, 1, SampleType::Float32, true};
    EXPECT_EQ(convert(bufferOf<float>({1.5f, -1.0f, 0.5f, -0.5f, 0.0f}, mono)),
              bufferOf<qint16>({32767, -32767, 16383, -16383, 0}, mono).data);
    const AudioFormat stereo{16000, 2, SampleType::Float32, true};
    EXPECT_EQ(convert(bufferOf<float>({0.5f, -0.9f, 1.0f, 0.1f}, stereo)), bufferOf<qint16>({16383, 32767}, stereo).data);
    const AudioFormat planar{16000, 2, SampleType::Int16, false};
    EXPECT_EQ(convert(bufferOf<qint16>({1, 2, 3, -1, -2, -3}, planar)), bufferOf<qint16>({1, 2, 3}, planar).data);
    const AudioFormat int32{16000, 2, SampleType::Int32, true};
    EXPECT_EQ(convert(bufferOf<qint32>({0x12345678, 7, -65536, 7}, int32)), bufferOf<qint16>({0x1234, -1}, int32).data);

    // Unusable buffers give nothing.
    EXPECT_FALSE(convert(AudioBuffer{{16000, 1, SampleType::Int16, true}, {}}));
    EXPECT_TRUE(log.mentions("音频缓冲区为空，frameLength: 0"));
    EXPECT_FALSE(convert(AudioBuffer{{16000, 0, SampleType::Int16, true}, QByteArray(8, 0)}));
}

} // namespace
} // namespace velnor
