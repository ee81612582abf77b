// The cloud recogniser over loopback: file recognition against a fake of the
// vendor's one-sentence API that checks every signature, and the real-time
// relay against a second, real velnor-server (its own credentials, scripted
// results) and against a hostile endpoint.
#include "recognition/cloud/CloudFileRecognizer.h"
#include "recognition/cloud/CloudStreamRecognizer.h"
#include "recognition/cloud/Tc3Signer.h"
#include "recognition/openai/TranscriptionRequest.h"
#include "server/ApiFixture.h"
#include "server/RealtimeDictation.h"

#include <QDateTime>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QWebSocketServer>

#include <future>

namespace velnor::server::cloud {
namespace {

const QString kSecretId = QStringLiteral("AKIDcloudloopback0000000000000000000");
const QString kSecretKey = QStringLiteral("cloud-loopback-key-000000000000");
const QString kAppId = QStringLiteral("1300000099");
// The app's own credentials for velnor-server's real-time endpoint.
const QString kLocalAppId = QStringLiteral("1300000001");
const QString kLocalSecretId = QStringLiteral("AKIDlocal000000000000000000000000000");
const QByteArray kLocalKey = "local-key-000000000000000000000";
const auto wallClock = &QDateTime::currentSecsSinceEpoch;

// Credentials the fakes check, and where the file API or the real-time endpoint is.
CloudSettings settings(const QUrl& apiUrl, const QUrl& realtimeUrl = {}, const QString& key = kSecretKey)
{
    return {.secretId = kSecretId, .secretKey = key, .appId = kAppId, .region = {}, .apiUrl = apiUrl,
            .realtimeUrl = realtimeUrl};
}

// One second.
std::vector<std::int16_t> tone()
{
    std::vector<std::int16_t> pcm(16000, 0);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = std::int16_t((i * 37) % 2000 - 1000);
    return pcm;
}

// The vendor's one-sentence recognition API on 127.0.0.1, in the test's own
// process: checks each call's TC3 signature, answers as told (after `delayMs`)
// and records what it got.
class FakeSentenceApi final {
public:
    enum class Answer { Text, Huge, Silent };
    struct Call {
        bool signatureOk;
        QJsonObject request;
        QByteArray pcm;
    };

    FakeSentenceApi()
    {
        m_http.route(QStringLiteral("/"), QHttpServerRequest::Method::Post,
                     [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                         onCall(request, std::move(responder));
                     });
        m_port = m_http.listen(QHostAddress::LocalHost);
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port)); }

    Answer answer = Answer::Text;
    QString text;
    int delayMs = 0;
    std::vector<Call> calls;
    int mostAtOnce = 0;

private:
    static bool signatureHolds(const QHttpServerRequest& request)
    {
        const Tc3Call call{.host = QString::fromUtf8(request.value("host")), .service = QStringLiteral("asr"),
                           .action = QString::fromUtf8(request.value("x-tc-action")),
                           .version = QString::fromUtf8(request.value("x-tc-version")), .region = {},
                           .timestamp = request.value("x-tc-timestamp").toLongLong(), .payload = request.body()};
        return qAbs(call.timestamp - QDateTime::currentSecsSinceEpoch()) <= 300
            && request.value("content-type") == Tc3Signer::kContentType
            && request.value("authorization") == Tc3Signer::authorization(kSecretId, kSecretKey, call);
    }

    void onCall(const QHttpServerRequest& httpRequest, QHttpServerResponder&& responder)
    {
        const QJsonObject request = QJsonDocument::fromJson(httpRequest.body()).object();
        calls.push_back({signatureHolds(httpRequest), request,
                         QByteArray::fromBase64(request.value(QStringLiteral("Data")).toString().toLatin1())});
        QByteArray body = QJsonDocument(QJsonObject{{"Response", QJsonObject{{"Result", text}}}}).toJson();
        if (!calls.back().signatureOk) {
            body = R"({"Response":{"Error":{"Code":"AuthFailure.SignatureFailure",)"
                   R"("Message":"The provided credentials could not be validated."}}})";
        } else if (answer == Answer::Silent) {
            m_unanswered.push_back(std::move(responder));
            return;
        } else if (answer == Answer::Huge) {
            body = R"({"Response":{"Result":")" + QByteArray(3 * 1024 * 1024, 'x') + R"("}})";
        }
        mostAtOnce = std::max(mostAtOnce, ++m_atOnce);
        auto kept = std::make_shared<QHttpServerResponder>(std::move(responder));
        QTimer::singleShot(delayMs, &m_http, [this, kept, body] {
            --m_atOnce;
            kept->write(body, "application/json");
        });
    }

    QHttpServer m_http;
    quint16 m_port = 0;
    std::vector<QHttpServerResponder> m_unanswered;
    int m_atOnce = 0;
};

// The fake one-sentence API, a second velnor-server as the vendor's real-time
// endpoint, and velnor-server --recognizer cloud against both as the app meets it.
class CloudLoopback : public test::ServerApi {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(upstream.start(dir.path(), test::realtimeCredentials(dir, kAppId, kSecretId, kSecretKey.toUtf8())))
            << upstream.error().toStdString();
        upstreamUrl = upstream.url(QStringLiteral("/asr/v2"));
        upstreamUrl.setScheme(QStringLiteral("ws"));
        args << test::realtimeCredentials(dataDir, kLocalAppId, kLocalSecretId, kLocalKey) << "--recognizer" << "cloud"
             << "--cloud-secret-id" << kSecretId << "--cloud-secret-key-file" << dir.writeFile("cloud.key", kSecretKey.toUtf8())
             << "--cloud-app-id" << kAppId << "--cloud-api-url" << api.url().toString() << "--cloud-realtime-url"
             << upstreamUrl.toString();
        ServerApi::SetUp();
    }

    FakeSentenceApi api;
    test::TempDir dir;
    test::ServerProcess upstream;
    QUrl upstreamUrl;
    test::RealtimeDictationClient local{kLocalAppId, kLocalSecretId, kLocalKey};
};

// Five calls at once against a bound of two; then failures only a socket shows
// (an unreadable answer is SentenceRecognition's answer table); then the app's
// dictations through velnor-server, and a key the vendor refuses.
TEST_F(CloudLoopback, DictationsComeBackWithTheCloudsTextWithinTheBoundOrWithANamedFailureNotAHang)
{
    api.text = QStringLiteral("今天下午开会");
    api.delayMs = 150;
    CloudSettings bounded = settings(api.url());
    bounded.maxRequests = 2;
    CloudFileRecognizer recognizer(bounded, wallClock);
    const std::vector<std::int16_t> pcm = tone();
    std::vector<std::future<FileRecognition>> calls;
    for (int i = 0; i < 5; ++i) {
        calls.push_back(std::async(std::launch::async, [&] {
            return recognizer.recognize(pcm, {QStringLiteral("zh"), {QStringLiteral("Velnor")}},
                                        std::chrono::steady_clock::now() + std::chrono::seconds(20));
        }));
    }
    ASSERT_TRUE(test::waitUntil([&] {
        return std::all_of(calls.begin(), calls.end(),
                           [](auto& f) { return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    }, 30000));
    for (auto& call : calls)
        EXPECT_EQ(call.get().text.value_or(QStringLiteral("<failed>")), api.text);
    EXPECT_EQ(api.mostAtOnce, 2);
    ASSERT_EQ(api.calls.size(), 5u);
    const auto& call = api.calls.front();
    EXPECT_TRUE(call.signatureOk);
    EXPECT_EQ(call.request["EngSerViceType"], "16k_zh");
    EXPECT_EQ(call.request["VoiceFormat"], "pcm");
    EXPECT_EQ(call.request["SourceType"], 1) << "the audio is in the request";
    EXPECT_EQ(call.request["HotwordList"], "Velnor|10");
    EXPECT_EQ(call.request["DataLen"], 32000);
    EXPECT_EQ(call.pcm, QByteArray(reinterpret_cast<const char*>(pcm.data()), 32000));

    using Answer = FakeSentenceApi::Answer;
    const struct {
        const char* name;
        Answer answer;
        int deadlineMs;
        const char* failure;
        bool down = false; // nothing listens
    } cases[] = {
        {"answer too long", Answer::Huge, 10000, "answer longer than"},
        {"no answer", Answer::Silent, 400, "no answer before the deadline"},
        {"down", Answer::Text, 10000, "refused", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        api.answer = c.answer;
        const QUrl apiUrl = c.down ? QUrl(QStringLiteral("http://127.0.0.1:1/")) : api.url();
        CloudFileRecognizer failing(settings(apiUrl), wallClock);
        // On a request thread, as the server does, while this thread's event loop serves the fake.
        auto attempt = std::async(std::launch::async, [&] {
            return failing.recognize(tone(), {}, std::chrono::steady_clock::now() + std::chrono::milliseconds(c.deadlineMs));
        });
        EXPECT_TRUE(test::waitUntil(
            [&] { return attempt.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, c.deadlineMs + 5000));
        const FileRecognition result = attempt.get();
        EXPECT_FALSE(result.text.has_value());
        EXPECT_TRUE(result.error.startsWith("cloud recogniser: ")) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(QLatin1String(c.failure))) << result.error.toStdString();
    }

    // The app's file and real-time dictations through velnor-server ("down" left the fake answering),
    // then with a key the vendor refuses.
    api.text = QStringLiteral("明天九点开会");
    const test::HttpResult file = upload(wavFile(tone()), {{"file_type", "wav"}}, {}, 20000);
    EXPECT_EQ(file.code(), 0) << file.body.toStdString();
    EXPECT_EQ(file.data().toObject().value("text").toString(), api.text);
    ASSERT_FALSE(upstream.control("POST", QStringLiteral("/__test/realtime/script"), QJsonObject{
        {"final_results", QJsonArray{QJsonObject{{"slice_type", 2}, {"index", 0}, {"text", "relayed words"}}}}}).isEmpty());
    const test::Dictation dictation = local.dictate(server.url(), QByteArray(5 * 1280, 'x'), 20000);
    EXPECT_EQ(dictation.text, "relayed words") << dictation.failure.toStdString();
    EXPECT_EQ(upstream.realtimeConnections().first().toObject().value("voice_id").toString(), "voice-1");

    dir.writeFile(QStringLiteral("cloud.key"), "a-wrong-cloud-key");
    ASSERT_TRUE(server.start(dataDir.path(), args)) << server.error().toStdString();
    const test::HttpResult refused = upload(wavFile(tone()), {{"file_type", "wav"}}, {}, 20000);
    EXPECT_EQ(refused.code(), 503) << refused.body.toStdString();
    EXPECT_TRUE(refused.msg().contains("AuthFailure.SignatureFailure")) << refused.msg().toStdString();
    const test::Dictation failed = local.dictate(server.url(), QByteArray(5 * 1280, 'x'), 20000);
    EXPECT_EQ(failed.errorCode, 4005);
    EXPECT_TRUE(failed.failure.contains("4002")) << failed.failure.toStdString();
    EXPECT_FALSE(server.standardError().contains("a-wrong-cloud-key"));
}

// An endpoint that answers every connection with what it is told to say.
std::unique_ptr<QWebSocketServer> hostileEndpoint(const QByteArrayList& say)
{
    auto server = std::make_unique<QWebSocketServer>(QStringLiteral("hostile"), QWebSocketServer::NonSecureMode);
    EXPECT_TRUE(server->listen(QHostAddress::LocalHost, 0));
    QObject::connect(server.get(), &QWebSocketServer::newConnection, server.get(), [server = server.get(), say] {
        QWebSocket* socket = server->nextPendingConnection();
        socket->setParent(server);
        for (const QByteArray& message : say) {
            if (message.startsWith("bin:"))
                socket->sendBinaryMessage(message.mid(4));
            else
                socket->sendTextMessage(QString::fromUtf8(message));
        }
    });
    return server;
}

// Refusals and errors of the real upstream (scripted), an endpoint that is
// down, and a hostile one (what it says) all reach the client without a hang.
TEST_F(CloudLoopback, UpstreamRefusalsErrorsAndHostilityReachTheClientWithoutAHang)
{
    const QByteArray handshake = R"({"code":0,"message":"success","voice_id":"x"})";
    const struct {
        const char* name;
        const char* failure;
        QJsonObject script = {};
        QByteArrayList say = {}; // instead of the upstream: a hostile endpoint saying this
        int code = 0;
        const char* key = "";
        bool down = false; // nothing listens
    } cases[] = {
        {"wrong key", "error 4002", {}, {}, 0, "not-the-key"},
        {"stream error", "error 4008: idle",
         {{"results", QJsonArray{}}, {"error", QJsonObject{{"code", 4008}, {"message", "idle"}, {"after_packets", 2}}}}, {}, 4008},
        {"abnormal close", "closed the stream before its final result", {{"results", QJsonArray{}}, {"abnormal_close_after_packets", 2}}},
        {"dropped connection", "cloud recogniser: ", {{"results", QJsonArray{}}, {"drop_after_packets", 2}}},
        {"down", "cloud recogniser: cannot reach", {}, {}, 0, "", true},
        {"garbage", "unreadable message", {}, {"\x01\x02 not json"}},
        {"oversized message", "cloud recogniser: ", {}, {handshake, "{\"code\":0,\"message\":\"" + QByteArray(200 * 1024, 'a') + "\"}"}},
        {"binary message", "unexpected binary message", {}, {handshake, "bin:\x01\x02"}},
        {"silence after the handshake", "said nothing for", {}, {handshake}},
    };
    int voice = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.script.isEmpty()) {
            ASSERT_FALSE(upstream.control("POST", QStringLiteral("/__test/realtime/script"), c.script).isEmpty());
        }
        const QString key = *c.key ? QString::fromLatin1(c.key) : kSecretKey;
        const std::unique_ptr<QWebSocketServer> hostile = c.say.isEmpty() ? nullptr : hostileEndpoint(c.say);
        const QUrl endpoint = hostile ? QUrl(QStringLiteral("ws://127.0.0.1:%1/asr/v2").arg(hostile->serverPort()))
                              : c.down ? QUrl(QStringLiteral("ws://127.0.0.1:1/asr/v2"))
                                       : upstreamUrl;
        // Four packets of 40 ms at once (before the handshake, as clients do) and the end; the sink
        // drops the stream on its last event, as a session does.
        std::vector<StreamEvent> events; // as the endpoint's session would see them
        const auto ended = [&] {
            return !events.empty()
                && (events.back().kind == StreamEvent::Kind::Finished || events.back().kind == StreamEvent::Kind::Failed);
        };
        CloudStreamRecognizer recognizer(settings({}, endpoint, key), wallClock, hostile ? 300 : 5000);
        std::unique_ptr<StreamRecognition> stream;
        stream = recognizer.open(QStringLiteral("voice-fail-%1").arg(++voice), {QStringLiteral("en"), {QStringLiteral("Velnor")}},
                                 [&](const StreamEvent& event) {
                                     events.push_back(event);
                                     if (ended())
                                         stream.reset();
                                 });
        for (int i = 0; i < 4; ++i)
            stream->push(QByteArray(1280, char(i)));
        stream->finish();
        EXPECT_TRUE(test::waitUntil(ended, 15000));
        ASSERT_TRUE(ended());
        const StreamEvent& last = events.back();
        EXPECT_EQ(last.kind, StreamEvent::Kind::Failed);
        EXPECT_EQ(last.code, c.code);
        EXPECT_TRUE(last.error.contains(QLatin1String(c.failure))) << last.error.toStdString();
        EXPECT_FALSE(last.error.contains(key));
    }
}

} // namespace
} // namespace velnor::server::cloud
