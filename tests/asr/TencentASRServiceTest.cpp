#include "AsrTestSupport.h"

#include "asr/TencentASRClientFactory.h"
#include "config/DeploymentConfig.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

template <typename T>
AudioBuffer bufferOf(std::initializer_list<T> samples, AudioFormat format)
{
    return AudioBuffer{format, QByteArray(reinterpret_cast<const char*>(std::data(samples)), qsizetype(samples.size() * sizeof(T)))};
}

class TencentASRServiceTest : public ::testing::Test {
protected:
    void SetUp() override { makeService(harness.config()); }

    void makeService(const TencentASRConfig& config)
    {
        service = std::make_unique<TencentASRService>(config, harness.environment());
        service->setDelegate(&delegate);
    }

    test::FakeSocket& socket() { return harness.socket(); }

    void becomeReady()
    {
        service->connect();
        harness.openAndHandshake();
        harness.drain();
        ASSERT_TRUE(service->connectionState().is(TencentASRConnectionState::Kind::Ready));
    }

    void receive(const QString& message)
    {
        socket().events.textReceived(message);
        harness.drain();
    }

    test::AsrHarness harness;
    test::RecordingServiceDelegate delegate;
    std::unique_ptr<TencentASRService> service;
};

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
