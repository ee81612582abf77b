// The real-time client against a real velnor-server on 127.0.0.1: real
// WebSocket (ws and wss), real signing on both sides, pocketsphinx decoding
// speech made by espeak-ng.
#include "AsrTestSupport.h"

#include "asr/QtWebSocketTransport.h"
#include "asr/TencentASRClientFactory.h"
#include "config/DeploymentConfig.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/QtScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "platform/fake/FakeKeySynthesizer.h"
#include "platform/fake/FakeMicrophonePermission.h"
#include "platform/fake/FakeWorkspace.h"
#include "platform/fake/FileAudioCapture.h"
#include "platform/linux/audio/SwrResampler.h"
#include "testing/FakeAudioFileRecorder.h"
#include "testing/FakeBackendServices.h"
#include "testing/FakeIndicator.h"
#include "testing/FakeRecordingFiles.h"
#include "testing/FakeSoundPlayer.h"
#include "testing/FakeTextInput.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"
#include "support/TempDir.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
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

// 16 kHz mono 16-bit audio: a quiet tone, `ms` long.
QByteArray tone(int ms)
{
    QByteArray bytes(ms * 16 * 2, Qt::Uninitialized);
    for (int i = 0; i < ms * 16; ++i)
        qToLittleEndian(qint16(800 * std::sin(i * 0.05) + (i % 7)), bytes.data() + 2 * i);
    return bytes;
}

// A microphone that hears one spoken sentence (a WAV file) in real time,
// converted by the app's resampler; every converted byte is kept, so tests
// know what the server must have heard.
struct SpokenSentence final {
    struct Recording final : Resampler {
        Recording(std::unique_ptr<Resampler> resampler, SpokenSentence& into)
            : real(std::move(resampler))
            , sentence(into)
        {
        }
        std::optional<AudioBuffer> convert(const AudioBuffer& input) override
        {
            auto out = real->convert(input);
            std::lock_guard locked(sentence.mutex);
            if (out)
                sentence.converted += out->data;
            return out;
        }
        std::unique_ptr<Resampler> real;
        SpokenSentence& sentence;
    };

    AudioCaptureFactory captures()
    {
        return [this]() -> std::unique_ptr<AudioCapture> {
            auto made = FileAudioCapture::fromWavFile(wav, 1.0);
            capture = made.get();
            return made;
        };
    }
    ResamplerFactory resamplers()
    {
        return [this](const AudioFormat& from, const AudioFormat& to) -> std::unique_ptr<Resampler> {
            return std::make_unique<Recording>(SwrResampler::create(from, to), *this);
        };
    }
    QByteArray convertedBytes()
    {
        std::lock_guard locked(mutex);
        return converted;
    }

    QString wav;
    FileAudioCapture* capture = nullptr;
    QByteArray converted;
    std::mutex mutex;
};

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
        signature.emplace(server.url().authority(), clock, &hotWords, log.recognitionLogger());
    }

    // The client's account for the server, ws or wss as it speaks.
    TencentASRConfig config() const
    {
        QUrl base = server.url(QStringLiteral("/asr/v2"));
        base.setScheme(base.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
        return {.appId = QLatin1String(RealtimeCredentials::appId), .secretId = QLatin1String(RealtimeCredentials::secretId),
                .secretKey = QLatin1String(RealtimeCredentials::secretKey), .baseURL = base.toString()};
    }

    void script(const QJsonObject& body)
    {
        const QJsonObject answer = server.control("POST", QStringLiteral("/__test/realtime/script"), body);
        ASSERT_EQ(answer.value("code").toInt(-1), 0) << QJsonDocument(answer).toJson().toStdString();
    }

    // A service on production collaborators (Qt timers, the event loop, real sockets) trusting `ca`, connected.
    TencentASRService& connectService(QList<QSslCertificate> ca = {})
    {
        service = std::make_unique<TencentASRService>(
            config(), TencentASREnvironment{scheduler, mainQueue, pacer, log.recognitionLogger(), *signature,
                                            QtWebSocketTransport::factory(std::move(ca))});
        service->setDelegate(&delegate);
        service->connect();
        return *service;
    }

    test::TempDir dir;
    ServerProcess server;
    QtScheduler scheduler;
    QtMainQueue mainQueue;
    SteadyPacer pacer;
    test::LogCapture log;
    SystemClock clock;
    test::FakeHotWords hotWords;
    std::optional<TencentASRSignature> signature;
    test::RecordingServiceDelegate delegate;
    std::unique_ptr<TencentASRService> service;
    SpokenSentence sentence;
};

// One real-time dictation as the user makes it: the real dictation
// controller with the real cached client (made by the client factory the
// app uses) over TLS with a private CA, against a real velnor-server decoding
// espeak-ng speech; only the microphone (a WAV file), the indicator, the text
// field and the correction service are stand-ins. A client without the CA
// is refused first.
class RealtimeControllerIntegrationTest : public RealtimeIntegrationTest {};

TEST_F(RealtimeControllerIntegrationTest, SpokenWordsReachTheFocusedField)
{
    startServer(true);
    // Without the private CA the self-signed certificate is refused.
    connectService();
    ASSERT_TRUE(test::waitUntil([&] { return !delegate.events.filter("error:网络错误").isEmpty(); }, 10000));
    EXPECT_FALSE(service->connectionState().is(Kind::Ready));
    EXPECT_TRUE(server.realtimeConnections().isEmpty());
    const QStringList errors = delegate.events.filter("error:");
    ASSERT_EQ(errors.size(), 1) << errors.join(" | ").toStdString();
    EXPECT_TRUE(errors.first().contains("certificate")) << errors.first().toStdString();
    service->disconnect();
    // espeak-ng says a sentence the decoder knows.
    test::SpeechFixtures speech(dir.path());
    sentence.wav = speech.wav("hello world. the weather is nice today.");
    ASSERT_FALSE(sentence.wav.isEmpty()) << speech.error().toStdString();
    // A server that has served before keeps a loaded decoder: warm it, so the
    // dictation's handshake does not wait for the model to load (which would
    // push the final text past the controller's 3 s wait).
    connectService(QSslCertificate::fromPath(dir.filePath("cert.pem")));
    ASSERT_TRUE(test::waitUntil([&] { return service->connectionState().is(Kind::Ready); }, 20000));
    service->startRecognition();
    service->stopRecognition();
    ASSERT_TRUE(test::waitUntil([&] { return delegate.events.contains("complete"); }, 10000));
    service->disconnect();
    // A slow handshake: the audio cached meanwhile must leave at real-time pace.
    script({{"handshake_delay_ms", 700}});

    DeploymentConfig deployment;
    deployment.realtimeScheme = QStringLiteral("wss");
    deployment.realtimeHost = server.url().authority();
    deployment.realtimeCaCertificateFile = dir.filePath("cert.pem");
    deployment.asrAppId = config().appId;
    deployment.asrSecretId = config().secretId;
    deployment.asrSecretKey = config().secretKey;
    // Hot words with characters a URL must escape travel signed and intact.
    hotWords.words = {{QStringLiteral("C++ & a=b?#%"), 5}, {QStringLiteral("腾讯 云"), 12.7}};
    // Qt's timers, the system clock and a captured log, as in the app.
    TencentASRClientFactory clients(deployment, clock, &hotWords, log.recognitionLogger(), scheduler, log.redactor());
    FakeMicrophonePermission permission;
    const RealtimeRecognitionClientFactory factory = clients.makeFactory(permission, sentence.captures(), sentence.resamplers());
    MemorySettingsStore settings;
    settings.setString(SettingsKey::RecognitionMode, QStringLiteral("realtime"));
    FakeIndicator indicator;
    FakeAudioFileRecorder recorder;
    FakeRecordingFiles recordingFiles(dir.path());
    FakeSoundPlayer sounds;
    FakeFileRecognitionService recognition;
    FakeTextAdjustmentService adjustment;
    FakeWorkspace workspace;
    FakeTextInput textInput(workspace);
    FakeKeySynthesizer keys([] { return qint64(0); });
    FakeAccessibilityTrust trust;
    // The controller's own timers run on virtual time: its 3 s result wait
    // must not run out while a loaded machine is still decoding.
    ManualScheduler controllerTime;
    AppSetupHelper controller(AppSetupHelper::Collaborators{
        settings, controllerTime, clock, log.logger(), log.printSink(), indicator, recorder, recordingFiles,
        sounds, recognition, adjustment, textInput, workspace, keys, trust, factory, QStringLiteral("linux")});

    // The user speaks the whole sentence, then lets go of the key.
    controller.handleKeyDown();
    ASSERT_TRUE(test::waitUntil([&] { return sentence.capture != nullptr && sentence.capture->deliveredBuffers() > 0; }, 30000));
    sentence.capture->waitUntilFinished();
    controller.handleKeyUp();

    // The final transcript ends the dictation's client and goes to correction; the corrected text is typed.
    ASSERT_TRUE(test::waitUntil([&] { return !controller.hasRealtimeClient(); }, 10000)) << "no final transcript";
    controllerTime.advanceBy(seconds(0.1));
    ASSERT_EQ(adjustment.adjustments.size(), 1);
    const QString transcript = adjustment.adjustments.last().params.text;
    EXPECT_TRUE(transcript.contains("hello") || transcript.contains("world") || transcript.contains("today"))
        << transcript.toStdString();
    AdjustTextResponse corrected;
    corrected.text = transcript + QStringLiteral("!");
    adjustment.adjustments.last().answer(Result<AdjustTextResponse, ServiceError>::success(corrected));
    controllerTime.runUntilIdle();
    EXPECT_EQ(textInput.typed, QStringList{transcript + QStringLiteral("!")});

    // The server heard every converted byte in capture order, the cached part
    // first and at real-time pace, then the end marker, and made the same
    // transcript; it saw no rate violation.
    const QJsonObject stats = server.realtimeConnections().last().toObject();
    EXPECT_EQ(stats.value("segments").toVariant().toStringList().join(QString()), transcript);
    EXPECT_EQ(stats.value("audio_sha1").toString().toLatin1(),
              QCryptographicHash::hash(sentence.convertedBytes(), QCryptographicHash::Sha1).toHex());
    const QJsonArray packets = stats.value("packets").toArray();
    ASSERT_GT(packets.size(), 10);
    const double first = packets.first().toObject().value("t_ms").toDouble();
    EXPECT_GE(first, stats.value("handshake_ms").toDouble());
    EXPECT_GT(packets[10].toObject().value("t_ms").toDouble() - first, 10 * 40 * 0.8) << "the cache left in a burst";
    EXPECT_GE(stats.value("end_marker_ms").toDouble(), packets.last().toObject().value("t_ms").toDouble());
    EXPECT_EQ(stats.value("error_code").toInt(), 0);
    EXPECT_EQ(stats.value("close_code").toInt(), 1000);
    EXPECT_EQ(stats.value("hotword_list").toString(), QStringLiteral("C++ & a=b?#%|5,腾讯 云|11"));
    EXPECT_FALSE(log.mentions(deployment.asrSecretKey));
}

// A bare WebSocket on a URL signed by the client's signer: says exactly what
// the test tells it to, to probe the server's protocol limits.
class RawStream final {
public:
    explicit RawStream(const QUrl& url)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closeCode = socket.closeCode(); });
        socket.open(url);
    }
    bool handshake() { return test::waitUntil([this] { return !messages.isEmpty(); }, 15000) && messages.first().value("code").toInt(-1) == 0; }
    bool closed(int timeoutMs = 10000) { return test::waitUntil([this] { return closeCode >= 0; }, timeoutMs); }
    int lastCode() const { return messages.isEmpty() ? -1 : messages.last().value("code").toInt(-1); }
    QList<QJsonObject> messages;
    int closeCode = -1;
    QWebSocket socket; // last: gone first, before what its signals write to
};

class RealtimeServerLimitsTest : public RealtimeIntegrationTest {
protected:
    static constexpr int kMaxSessions = 2;

    void SetUp() override { startServer(false, {QStringLiteral("--max-realtime-sessions"), QString::number(kMaxSessions)}); }

    // A URL the client's own signer makes when its clock is `secondsBehind` late, signed with `secretKey`.
    QUrl signedUrl(const QString& voiceId, qint64 secondsBehind = 0,
                   const QString& secretKey = QLatin1String(RealtimeCredentials::secretKey))
    {
        ManualClock late(QDateTime::currentDateTime().addSecs(-secondsBehind));
        TencentASRSignature signer(server.url().authority(), late, &hotWords, log.recognitionLogger());
        TencentASRConfig keyed = config();
        keyed.secretKey = secretKey;
        return *signer.buildWebSocketURL(keyed, voiceId);
    }

    const QJsonObject silent{{"results", QJsonArray()}};
};

// In turn on one server: one stream per limit, what it sends and how the
// server ends it (the end message's final text and normal close are
// SpokenWordsReachTheFocusedField's); the signature's every rule is the
// server's unit test's, here one stale and one wrongly keyed URL prove the
// endpoint applies it; sessions beyond the limit are 4006 and a voice id
// already used is 4001; a freed place is taken again, and termination ends
// that open stream with its final text.
TEST_F(RealtimeServerLimitsTest, RefusedUrlsAndSessionsLimitsAndTerminationEndStreamsWithTheirCodes)
{
    struct Case {
        const char* name;
        QJsonObject script;
        std::function<void(RawStream&)> send;
        int closeCode; // -1: any
        int lastCode; // the code of the last message; -1: any
        bool endsWithFinal; // the last message is the final one
        int waitMs;
    };
    const Case cases[] = {
        {"a message over 64 KiB", silent, [](RawStream& s) { s.socket.sendBinaryMessage(QByteArray(65 * 1024, '\0')); },
         QWebSocketProtocol::CloseCodeTooMuchData, -1, false, 10000},
        {"audio faster than real time", silent,
         [](RawStream& s) {
             for (int i = 0; i < 80; ++i) // 3.2 s of audio at once
                 s.socket.sendBinaryMessage(tone(40));
         },
         -1, 4000, false, 10000},
        {"text other than the end message", silent, [](RawStream& s) { s.socket.sendTextMessage(R"({"type":"hello"})"); },
         -1, 4010, false, 10000},
        // Still open while audio keeps coming: the server must end it itself.
        {"the longest session", QJsonObject{{"results", QJsonArray()}, {"max_session_ms", 500}},
         [](RawStream& s) {
             for (int i = 0; i < 25 && s.closeCode < 0; ++i) {
                 s.socket.sendBinaryMessage(tone(40));
                 test::runEventLoopFor(40);
             }
         },
         1000, -1, true, 3000},
        {"fifteen seconds without audio", silent,
         [](RawStream& s) {
             s.socket.sendBinaryMessage(tone(40));
             EXPECT_FALSE(s.closed(14000));
         },
         -1, 4008, false, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script(c.script);
        RawStream stream(signedUrl(QStringLiteral("voice_limit_%1").arg(&c - cases)));
        ASSERT_TRUE(stream.handshake());
        c.send(stream);
        ASSERT_TRUE(stream.closed(c.waitMs));
        if (c.closeCode >= 0) {
            EXPECT_EQ(stream.closeCode, c.closeCode);
        }
        if (c.lastCode >= 0) {
            EXPECT_EQ(stream.lastCode(), c.lastCode);
        }
        if (c.endsWithFinal) {
            EXPECT_EQ(stream.messages.last().value("final").toInt(), 1);
        }
    }

    script({{"results", QJsonArray()}, {"count", kMaxSessions + 6}});
    const QString key = QLatin1String(RealtimeCredentials::secretKey);
    for (const auto& [secondsBehind, secretKey] : {std::pair{qint64(3600), key}, std::pair{qint64(0), QStringLiteral("notthesecretkey00000000000000000")}}) {
        SCOPED_TRACE(secondsBehind);
        RawStream stream(signedUrl(QStringLiteral("voice_signed_%1_%2").arg(secondsBehind).arg(secretKey.size()), secondsBehind, secretKey));
        ASSERT_TRUE(stream.closed());
        EXPECT_EQ(stream.lastCode(), 4002);
    }
    RawStream fresh(signedUrl("voice_signed_now"));
    EXPECT_TRUE(fresh.handshake()) << "a URL signed now is fine";
    static_assert(kMaxSessions == 2);
    RawStream second(signedUrl("voice_cap_second"));
    ASSERT_TRUE(second.handshake());
    RawStream extra(signedUrl("voice_cap_extra"));
    ASSERT_TRUE(extra.closed());
    EXPECT_EQ(extra.lastCode(), 4006);

    const QUrl used = fresh.socket.requestUrl();
    fresh.socket.close();
    ASSERT_TRUE(fresh.closed());
    test::runEventLoopFor(100); // the server lets go of the closed session
    RawStream reused(used);
    ASSERT_TRUE(reused.closed());
    EXPECT_EQ(reused.lastCode(), 4001);
    EXPECT_TRUE(reused.messages.last().value("message").toString().contains("already used"));

    // The freed place is taken again by a stream that termination then ends
    // with its final text.
    ASSERT_EQ(server.control("POST", QStringLiteral("/__test/realtime/reset")).value("code").toInt(-1), 0);
    script({{"final_results", QJsonArray{QJsonObject{{"slice_type", 2}, {"text", "so far"}}}}});
    RawStream stream(signedUrl("voice_shutdown"));
    ASSERT_TRUE(stream.handshake()) << "a place freed by a closed session is taken again";
    stream.socket.sendBinaryMessage(tone(40));
    test::runEventLoopFor(100);
    server.stop();
    EXPECT_TRUE(server.stoppedCleanly());
    ASSERT_TRUE(stream.closed());
    EXPECT_EQ(stream.closeCode, 1000);
    // The final message comes right after the text.
    ASSERT_GE(stream.messages.size(), 2);
    EXPECT_EQ(stream.messages.last().value("final").toInt(), 1);
    EXPECT_EQ(stream.messages[stream.messages.size() - 2].value("result").toObject().value("voice_text_str").toString(), "so far");
}

} // namespace
} // namespace velnor
