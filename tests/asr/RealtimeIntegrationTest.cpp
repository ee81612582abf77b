// The real-time client against a real velnor-server on 127.0.0.1: real
// WebSocket (ws and wss), real signing on both sides, pocketsphinx decoding
// speech made by espeak-ng.
#include "AsrTestSupport.h"
#include "RecordingLinearResampler.h"

#include "asr/QtWebSocketTransport.h"
#include "asr/TencentASRExample.h"
#include "core/QtScheduler.h"
#include "platform/fake/FakeMicrophonePermission.h"
#include "platform/fake/FileAudioCapture.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"
#include "support/TempDir.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QUrlQuery>
#include <QWebSocket>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

namespace velnor {
namespace {

using test::RealtimeCredentials;
using test::ServerProcess;
using Kind = TencentASRConnectionState::Kind;

// Production collaborators (Qt timers, the event loop, real sockets) around
// the recognition log that tests read.
struct RealEnvironment {
    explicit RealEnvironment(const ServerProcess& server, QList<QSslCertificate> ca = {})
        : signature(server.url().authority(), clock, &hotWords, log.recognitionLogger())
        , trusted(std::move(ca))
    {
        config.appId = QLatin1String(RealtimeCredentials::appId);
        config.secretId = QLatin1String(RealtimeCredentials::secretId);
        config.secretKey = QLatin1String(RealtimeCredentials::secretKey);
        QUrl base = server.url(QStringLiteral("/asr/v2"));
        base.setScheme(base.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
        config.baseURL = base.toString();
    }

    TencentASREnvironment environment()
    {
        return TencentASREnvironment{scheduler, mainQueue, pacer, log.recognitionLogger(), signature,
                                     QtWebSocketTransport::factory(trusted)};
    }

    QtScheduler scheduler;
    QtMainQueue mainQueue;
    SteadyPacer pacer;
    test::LogCapture log;
    SystemClock clock;
    test::FakeHotWords hotWords;
    TencentASRSignature signature;
    QList<QSslCertificate> trusted;
    TencentASRConfig config;
};

QByteArray sha1Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// 16 kHz mono 16-bit audio: a quiet tone, `ms` long.
QByteArray tone(int ms)
{
    QByteArray bytes(ms * 16 * 2, Qt::Uninitialized);
    for (int i = 0; i < ms * 16; ++i)
        qToLittleEndian(qint16(800 * std::sin(i * 0.05) + (i % 7)), bytes.data() + 2 * i);
    return bytes;
}

class RealtimeIntegrationTest : public ::testing::Test {
protected:
    void startServer(bool tls = false, const QStringList& extraArgs = {})
    {
        QStringList args = test::realtimeServerArgs(dir.path()) + extraArgs;
        if (tls) {
            const QString error = test::makeSelfSignedCertificate(dir.path());
            ASSERT_TRUE(error.isEmpty()) << error.toStdString();
            args << QStringLiteral("--tls-cert") << dir.filePath("cert.pem") << QStringLiteral("--tls-key")
                 << dir.filePath("key.pem");
        }
        ASSERT_TRUE(server.start(dir.path(), args)) << server.error().toStdString();
    }

    QList<QSslCertificate> trustedCa() { return QSslCertificate::fromPath(dir.filePath("cert.pem")); }

    void script(const QJsonObject& body)
    {
        const QJsonObject answer = server.control("POST", QStringLiteral("/__test/realtime/script"), body);
        ASSERT_EQ(answer.value("code").toInt(-1), 0) << QJsonDocument(answer).toJson().toStdString();
    }

    // A service of its own environment, connected; `tweak` adjusts the configuration first.
    TencentASRService& connectService(const std::function<void(TencentASRConfig&)>& tweak = {})
    {
        env = std::make_unique<RealEnvironment>(server);
        if (tweak)
            tweak(env->config);
        service = std::make_unique<TencentASRService>(env->config, env->environment());
        service->setDelegate(&delegate);
        service->connect();
        return *service;
    }

    QStringList errors() const { return delegate.events.filter("error:"); }

    static bool becameReady(TencentASRService& service, int timeoutMs = 15000)
    {
        return test::waitUntil([&] { return service.connectionState().is(Kind::Ready); }, timeoutMs);
    }

    // The app's client over `env`, its microphone what `makeCapture` makes;
    // the final text lands in `transcript`.
    std::unique_ptr<TencentASRExample> makeExample(std::function<std::unique_ptr<FileAudioCapture>()> makeCapture,
                                                   ResamplerFactory resamplers = nullptr)
    {
        TencentASRExampleDependencies deps{env->environment(), env->config, permission,
                                           [this, makeCapture]() -> std::unique_ptr<AudioCapture> {
                                               auto made = makeCapture();
                                               capture = made.get();
                                               return made;
                                           },
                                           std::move(resamplers)};
        auto example = std::make_unique<TencentASRExample>(std::move(deps));
        example->setRecognitionCompletionHandler([this](const QString& text) { transcript = text; });
        return example;
    }

    // Records all the capture holds, then waits for the final text.
    bool dictateAll(TencentASRExample& example)
    {
        example.connectAndStartRecording();
        if (!test::waitUntil([&] { return capture != nullptr && capture->deliveredBuffers() > 0; }, 30000))
            return false;
        capture->waitUntilFinished();
        example.stopRecording();
        return test::waitUntil([&] { return transcript.has_value(); }, 30000);
    }

    QJsonObject connection(int index)
    {
        const QJsonArray all = server.realtimeConnections();
        return index < all.size() ? all.at(index).toObject() : QJsonObject();
    }

    test::TempDir dir;
    ServerProcess server;
    std::unique_ptr<RealEnvironment> env;
    test::RecordingServiceDelegate delegate;
    std::unique_ptr<TencentASRService> service;
    FakeMicrophonePermission permission;
    FileAudioCapture* capture = nullptr;
    std::optional<QString> transcript;
};

// The whole real-time path of one dictation over TLS with a private CA:
// microphone (a WAV of speech), cache, signed connection, paced upload,
// decoding, transcript. (Plain ws is the controller integration test's.)
TEST_F(RealtimeIntegrationTest, WholeDictationOverWssWithAPrivateCa)
{
    startServer(true);
    test::SpeechFixtures speech(dir.path());
    const QString wav = speech.wav("hello world. the weather is nice today.");
    ASSERT_FALSE(wav.isEmpty()) << speech.error().toStdString();

    env = std::make_unique<RealEnvironment>(server, trustedCa());
    // Hot words with characters a URL must escape travel signed and intact.
    env->hotWords.words = {{QStringLiteral("C++ & a=b?#%"), 5}, {QStringLiteral("腾讯 云"), 12.7}};
    auto converted = std::make_shared<QByteArray>();
    auto mutex = std::make_shared<std::mutex>();
    auto example = makeExample([&] { return FileAudioCapture::fromWavFile(wav, 1.0); },
                               [converted, mutex](const AudioFormat& from, const AudioFormat&) -> std::unique_ptr<Resampler> {
                                   return std::make_unique<test::RecordingLinearResampler>(from.sampleRate, converted, mutex);
                               });
    ASSERT_TRUE(dictateAll(*example)) << "no final message";

    const QJsonObject stats = server.realtimeConnections().last().toObject();
    QStringList segments;
    for (const QJsonValue& text : stats.value("segments").toArray())
        segments << text.toString();
    EXPECT_EQ(stats.value("hotword_list").toString(), QStringLiteral("C++ & a=b?#%|5,腾讯 云|11"));
    EXPECT_FALSE(transcript->isEmpty());
    EXPECT_EQ(*transcript, segments.join(QString())) << "client and server agree on the transcript";
    EXPECT_TRUE(transcript->contains("hello") || transcript->contains("world") || transcript->contains("today"))
        << transcript->toStdString();

    // Every converted byte arrived, in capture order, cached part first.
    {
        std::lock_guard lock(*mutex);
        EXPECT_EQ(stats.value("audio_bytes").toInteger(), converted->size());
        EXPECT_EQ(stats.value("audio_sha1").toString().toLatin1(), sha1Hex(*converted));
    }
    const QJsonArray packets = stats.value("packets").toArray();
    ASSERT_GT(packets.size(), 10);
    for (qsizetype i = 0; i + 1 < packets.size(); ++i)
        EXPECT_EQ(packets[i].toObject().value("bytes").toInt(), 1280) << i;
    EXPECT_GE(stats.value("end_marker_ms").toDouble(), packets.last().toObject().value("t_ms").toDouble());
    EXPECT_EQ(stats.value("close_code").toInt(), 1000);
    example->disconnect();
}

TEST_F(RealtimeIntegrationTest, UntrustedCertificateIsRefused)
{
    startServer(true);
    connectService(); // no extra CA: the self-signed certificate is not trusted
    ASSERT_TRUE(test::waitUntil([&] { return !delegate.events.filter("error:网络错误").isEmpty(); }, 10000));
    EXPECT_FALSE(service->connectionState().is(Kind::Ready));
    EXPECT_TRUE(server.realtimeConnections().isEmpty());
    ASSERT_EQ(errors().size(), 1) << errors().join(" | ").toStdString();
    EXPECT_TRUE(errors().first().contains("certificate")) << errors().first().toStdString();
    service->disconnect();
}

TEST_F(RealtimeIntegrationTest, ForgedSignatureIsRejectedWithAnAuthenticationError)
{
    startServer();
    connectService([](TencentASRConfig& config) {
        config.secretKey = QStringLiteral("notthesecretkey00000000000000000");
        config.maxRetryCount = 0;
    });
    ASSERT_TRUE(test::waitUntil([&] { return !errors().isEmpty(); }, 10000));
    EXPECT_TRUE(errors().first().startsWith("error:服务器错误(4002): ")) << delegate.events.join(" | ").toStdString();
    EXPECT_EQ(connection(0).value("reject_code").toInt(), 4002);
    service->disconnect();
}

TEST_F(RealtimeIntegrationTest, ReconnectsWithANewVoiceIdAfterAScripted4001)
{
    startServer();
    script({{"reject", QJsonObject{{"code", 4001}, {"message", "scripted parameter error"}}}});
    connectService();
    ASSERT_TRUE(test::waitUntil([&] { return !errors().isEmpty(); }, 10000));
    EXPECT_EQ(errors().first(), "error:服务器错误(4001): scripted parameter error");
    ASSERT_TRUE(becameReady(*service)) << delegate.events.join(" | ").toStdString();
    const QJsonArray all = server.realtimeConnections();
    ASSERT_EQ(all.size(), 2);
    EXPECT_FALSE(all[0].toObject().value("accepted").toBool());
    EXPECT_TRUE(all[1].toObject().value("accepted").toBool());
    EXPECT_NE(all[0].toObject().value("voice_id"), all[1].toObject().value("voice_id"));
    EXPECT_EQ(service->webSocketClient()->voiceId(), all[1].toObject().value("voice_id").toString());
    service->disconnect();
}

TEST_F(RealtimeIntegrationTest, ReconnectsAfterAnAbnormalCloseAndAfterADroppedConnection)
{
    startServer();
    script({{"results", QJsonArray()}, {"abnormal_close_after_packets", 3}});
    script({{"results", QJsonArray()}, {"drop_after_packets", 3}});
    connectService();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(becameReady(*service)) << round;
        service->startRecognition();
        service->sendAudioData(tone(200)); // 5 packets; the server breaks off after 3
        ASSERT_TRUE(test::waitUntil([&] { return !service->connectionState().is(Kind::Ready); }, 10000)) << round;
    }
    ASSERT_TRUE(becameReady(*service));
    const QJsonArray all = server.realtimeConnections();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].toObject().value("close_code").toInt(), 1011);
    EXPECT_TRUE(all[2].toObject().value("accepted").toBool());
    // The abnormal close is not an error; the dropped connection is a network error.
    EXPECT_EQ(errors().size(), 1) << delegate.events.join(" | ").toStdString();
    EXPECT_TRUE(errors().first().startsWith("error:网络错误: "));
    service->disconnect();
}

TEST_F(RealtimeIntegrationTest, Code4008IsReportedButTheStreamGoesOn)
{
    startServer();
    script({{"results", QJsonArray{QJsonObject{{"after_packets", 1}, {"slice_type", 0}, {"index", 0}, {"text", "你好"}}}},
            {"final_results", QJsonArray{QJsonObject{{"slice_type", 2}, {"index", 0}, {"text", "你好世界"}}}},
            {"error", QJsonObject{{"code", 4008}, {"message", "客户端数据上传超时"}, {"after_packets", 2}, {"close", false}}}});
    connectService();
    ASSERT_TRUE(becameReady(*service));
    service->startRecognition();
    service->sendAudioData(tone(200));
    ASSERT_TRUE(test::waitUntil([&] { return delegate.events.contains("error:服务器错误(4008): 客户端数据上传超时"); }, 10000));
    EXPECT_TRUE(service->connectionState().is(Kind::Ready));
    EXPECT_TRUE(service->isRecognizing());
    service->stopRecognition();
    ASSERT_TRUE(test::waitUntil([&] { return delegate.events.contains("complete"); }, 10000));
    EXPECT_EQ(service->finalText(), "你好世界");
    EXPECT_EQ(connection(0).value("audio_bytes").toInt(), 200 * 32);
    service->disconnect();
}

TEST_F(RealtimeIntegrationTest, AudioCachedBeforeReadyIsFlushedInOrderAtRealTimePace)
{
    startServer();
    script({{"handshake_delay_ms", 700},
            {"final_results", QJsonArray{QJsonObject{{"slice_type", 2}, {"index", 0}, {"text", "cached"}}}}});
    env = std::make_unique<RealEnvironment>(server);
    const QByteArray audio = tone(1500);
    auto example = makeExample([&] { return std::make_unique<FileAudioCapture>(TencentASRExample::targetFormat(), audio); });
    ASSERT_TRUE(dictateAll(*example));
    EXPECT_EQ(*transcript, "cached");

    const QJsonObject stats = connection(0);
    EXPECT_EQ(stats.value("audio_sha1").toString().toLatin1(), sha1Hex(audio));
    const QJsonArray packets = stats.value("packets").toArray();
    ASSERT_EQ(packets.size(), (audio.size() + 1279) / 1280);
    // The cache (about 0.7 s of audio) leaves at real-time pace, not in a burst.
    const double first = packets.first().toObject().value("t_ms").toDouble();
    const double tenth = packets[10].toObject().value("t_ms").toDouble();
    EXPECT_GE(first, stats.value("handshake_ms").toDouble());
    EXPECT_GT(tenth - first, 10 * 40 * 0.8);
    EXPECT_EQ(stats.value("error_code").toInt(), 0) << "the server saw no rate violation";
    EXPECT_GE(stats.value("end_marker_ms").toDouble(), packets.last().toObject().value("t_ms").toDouble());
    example->disconnect();
}

// A bare WebSocket on a URL signed by the client's signer: says exactly what
// the test tells it to, to probe the server's protocol limits.
class RawStream final {
public:
    explicit RawStream(const QUrl& url)
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QObject::connect(&m_socket, &QWebSocket::disconnected, [this] { closeCode = m_socket.closeCode(); });
        m_socket.open(url);
    }
    bool handshake() { return test::waitUntil([this] { return !messages.isEmpty(); }, 15000) && messages.first().value("code").toInt(-1) == 0; }
    bool closed(int timeoutMs = 10000) { return test::waitUntil([this] { return closeCode >= 0; }, timeoutMs); }
    int lastCode() const { return messages.isEmpty() ? -1 : messages.last().value("code").toInt(-1); }
    // The stream ended with its final message, right after the text it names.
    bool endedWithFinalText(const QString& text) const
    {
        return messages.size() >= 2 && messages.last().value("final").toInt() == 1
            && messages[messages.size() - 2].value("result").toObject().value("voice_text_str").toString() == text;
    }
    QWebSocket& socket() { return m_socket; }

    QList<QJsonObject> messages;
    int closeCode = -1;

private:
    QWebSocket m_socket;
};

class RealtimeServerLimitsTest : public RealtimeIntegrationTest {
protected:
    static constexpr int kMaxSessions = 2;

    void SetUp() override
    {
        startServer(false, {QStringLiteral("--max-realtime-sessions"), QString::number(kMaxSessions)});
        env = std::make_unique<RealEnvironment>(server);
    }

    QUrl signedUrl(const QString& voiceId)
    {
        return *env->signature.buildWebSocketURL(env->config, voiceId);
    }

    // What someone holding the app's key can make: a correctly signed URL with
    // the given timestamp and expiry.
    QUrl forgedUrl(const QString& voiceId, qint64 timestamp, qint64 expired)
    {
        QUrl url = signedUrl(voiceId);
        QMap<QString, QString> params;
        for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
            params.insert(key, value);
        params.remove("signature");
        params["timestamp"] = QString::number(timestamp);
        params["expired"] = QString::number(expired);
        QStringList pairs;
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            pairs << it.key() + "=" + it.value();
        params["signature"] = TencentASRSignature::sign(QLatin1String(RealtimeCredentials::secretKey),
                                                        url.authority() + url.path() + "?" + pairs.join('&'));
        QByteArray query;
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            query += (query.isEmpty() ? "" : "&") + QUrl::toPercentEncoding(it.key()) + "=" + QUrl::toPercentEncoding(it.value());
        url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
        return url;
    }
};

TEST_F(RealtimeServerLimitsTest, StaleOrLongLivedSignedUrlsAreRefused)
{
    script({{"results", QJsonArray()}, {"count", 3}});
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const auto& [timestamp, expired] : {std::pair{qint64(1), qint64(9999999999)},
                                             std::pair{now - 3600, now + 600}, std::pair{now, now + 2 * 86400}}) {
        SCOPED_TRACE(timestamp);
        RawStream stream(forgedUrl(QStringLiteral("voice_forged_%1").arg(timestamp), timestamp, expired));
        ASSERT_TRUE(stream.closed());
        EXPECT_EQ(stream.lastCode(), 4002);
    }
    RawStream fresh(forgedUrl(QStringLiteral("voice_fresh"), now, now + 3600));
    EXPECT_TRUE(fresh.handshake()) << "a URL signed now for an hour is fine";
}

TEST_F(RealtimeServerLimitsTest, MessagesOver64KiBCloseTheConnection)
{
    script({{"results", QJsonArray()}});
    RawStream stream(signedUrl("voice_big"));
    ASSERT_TRUE(stream.handshake());
    stream.socket().sendBinaryMessage(QByteArray(65 * 1024, '\0'));
    ASSERT_TRUE(stream.closed());
    EXPECT_EQ(stream.closeCode, QWebSocketProtocol::CloseCodeTooMuchData);
}

TEST_F(RealtimeServerLimitsTest, SessionsBeyondTheLimitAreRefusedWith4006)
{
    script({{"results", QJsonArray()}, {"count", kMaxSessions + 1}});
    std::vector<std::unique_ptr<RawStream>> open;
    for (int i = 0; i < kMaxSessions; ++i) {
        open.push_back(std::make_unique<RawStream>(signedUrl(QStringLiteral("voice_cap_%1").arg(i))));
        ASSERT_TRUE(open.back()->handshake());
    }
    RawStream extra(signedUrl("voice_cap_extra"));
    ASSERT_TRUE(extra.closed());
    EXPECT_EQ(extra.lastCode(), 4006);

    open.front()->socket().close();
    ASSERT_TRUE(open.front()->closed());
    test::runEventLoopFor(100); // the server lets go of the closed session
    RawStream again(signedUrl("voice_cap_again"));
    EXPECT_TRUE(again.handshake()) << "a place freed by a closed session is taken again";
}

TEST_F(RealtimeServerLimitsTest, TerminationEndsOpenStreamsWithTheirFinalText)
{
    script({{"final_results", QJsonArray{QJsonObject{{"slice_type", 2}, {"text", "so far"}}}}});
    RawStream stream(signedUrl("voice_shutdown"));
    ASSERT_TRUE(stream.handshake());
    stream.socket().sendBinaryMessage(tone(40));
    test::runEventLoopFor(100);
    server.stop();
    EXPECT_TRUE(server.stoppedCleanly());
    ASSERT_TRUE(stream.closed());
    EXPECT_EQ(stream.closeCode, 1000);
    EXPECT_TRUE(stream.endedWithFinalText("so far"));
}

TEST_F(RealtimeServerLimitsTest, AStreamEndsWithItsFinalTextAtTheLongestSession)
{
    script({{"results", QJsonArray()}, {"max_session_ms", 500}});
    RawStream stream(signedUrl("voice_long"));
    ASSERT_TRUE(stream.handshake());
    for (int i = 0; i < 25 && stream.closeCode < 0; ++i) {
        stream.socket().sendBinaryMessage(tone(40));
        test::runEventLoopFor(40);
    }
    ASSERT_TRUE(stream.closed(3000)) << "still open while audio keeps coming";
    EXPECT_EQ(stream.closeCode, 1000);
    EXPECT_EQ(stream.messages.last().value("final").toInt(), 1);
}

TEST_F(RealtimeServerLimitsTest, EndMessageFinishesTheStreamAndOtherTextIsRefused)
{
    script({{"final_results", QJsonArray{QJsonObject{{"slice_type", 2}, {"text", "done"}}}}});
    RawStream stream(signedUrl("voice_end_1"));
    ASSERT_TRUE(stream.handshake());
    stream.socket().sendBinaryMessage(tone(80));
    stream.socket().sendTextMessage(R"({"type":"end"})");
    ASSERT_TRUE(stream.closed());
    EXPECT_EQ(stream.closeCode, 1000);
    EXPECT_TRUE(stream.endedWithFinalText("done"));

    RawStream chatty(signedUrl("voice_end_2"));
    ASSERT_TRUE(chatty.handshake());
    chatty.socket().sendTextMessage(R"({"type":"hello"})");
    ASSERT_TRUE(chatty.closed());
    EXPECT_EQ(chatty.lastCode(), 4010);
}

TEST_F(RealtimeServerLimitsTest, AudioFasterThanRealTimeIs4000)
{
    script({{"results", QJsonArray()}});
    RawStream stream(signedUrl("voice_fast"));
    ASSERT_TRUE(stream.handshake());
    for (int i = 0; i < 80; ++i) // 3.2 s of audio at once
        stream.socket().sendBinaryMessage(tone(40));
    ASSERT_TRUE(stream.closed());
    EXPECT_EQ(stream.lastCode(), 4000);
}

TEST_F(RealtimeServerLimitsTest, AReusedVoiceIdIsAParameterError)
{
    script({{"results", QJsonArray()}, {"count", 2}});
    const QUrl url = signedUrl("voice_once");
    RawStream first(url);
    ASSERT_TRUE(first.handshake());
    RawStream second(url);
    ASSERT_TRUE(second.closed());
    EXPECT_EQ(second.lastCode(), 4001);
    EXPECT_TRUE(second.messages.last().value("message").toString().contains("already used"));
}

TEST_F(RealtimeServerLimitsTest, FifteenSecondsWithoutAudioIs4008)
{
    script({{"results", QJsonArray()}});
    RawStream stream(signedUrl("voice_idle"));
    ASSERT_TRUE(stream.handshake());
    stream.socket().sendBinaryMessage(tone(40));
    ASSERT_FALSE(stream.closed(14000));
    ASSERT_TRUE(stream.closed(4000));
    EXPECT_EQ(stream.lastCode(), 4008);
}

} // namespace
} // namespace velnor
