// velnor-server across restarts, under injected faults and without test controls.
#include "ApiFixture.h"
#include "support/EventLoopWait.h"

namespace velnor::server {
namespace {

using test::codeOf;
using test::HttpResult;
using test::ServerApi;

// Thirty hot words written at once all land, and they and the rest outlive the process.
TEST_F(ServerApi, ConcurrentWritesLandAndSurviveARestart)
{
    const QString token = signIn();
    QNetworkAccessManager network;
    QList<QNetworkReply*> replies;
    QNetworkRequest request(url("/qasr/hotword"));
    request.setRawHeader("Content-Type", "application/json");
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    for (int i = 0; i < 30; ++i)
        replies << network.post(request, QJsonDocument(QJsonObject{{"text", QStringLiteral("w%1").arg(i)}, {"weight", 3}}).toJson());
    for (QNetworkReply* reply : replies)
        EXPECT_EQ(codeOf(reply), 0);
    const QJsonArray words = hotWords(token);
    ASSERT_EQ(words.size(), 30);
    const QString recordId = adjust("a b c", token).data().toObject().value("id").toString();
    ASSERT_FALSE(recordId.isEmpty());

    server.stop();
    EXPECT_TRUE(server.stoppedCleanly()) << "SIGTERM ends the server normally";
    ASSERT_TRUE(server.start(dataDir.path(), args)) << server.error().toStdString();

    const HttpResult me = http.get(url("/auth/mev2"), token);
    ASSERT_EQ(me.code(), 0) << "the session outlives the process: " << me.body.toStdString();
    EXPECT_EQ(me.data().toObject().value("generate_words_total").toInteger(), 3);
    EXPECT_EQ(hotWords(token), words);
    EXPECT_EQ(post("/qasr/recognize/update", {{"id", recordId}, {"text_input_method", "accessibility"}}, token).code(), 0);
    EXPECT_EQ(post("/auth/sms/code", {{"phone", test::kPhone}}).code(), 429) << "the resend wait is stored too";
}

TEST_F(ServerApi, InjectedFaultsHitTheNextRequestsOfTheirPath)
{
    const QJsonObject body{{"base64_text", QString::fromLatin1(QByteArray("hello").toBase64())}};
    ASSERT_EQ(post("/__test/fault", {{"path", "/qasr/adjust"}, {"envelope_code", 500}, {"count", 2}}).code(), 0);
    EXPECT_EQ(post("/qasr/adjust", body).code(), 500);
    EXPECT_EQ(post("/qasr/adjust", body).code(), 500);
    EXPECT_EQ(post("/qasr/adjust", body).code(), 0) << "count used up";

    // A dropped connection and a malformed body: BackendIntegrationTest.ServerFaultsMapToTheServiceDomains.
    ASSERT_EQ(post("/__test/fault", {{"path", "/qasr/adjust"}, {"http_status", 500}}).code(), 0);
    EXPECT_EQ(post("/auth/sms/code", {{"phone", "12"}}).code(), 400) << "other paths are untouched";
    const HttpResult statusOnly = post("/qasr/adjust", body);
    EXPECT_EQ(statusOnly.status, 500);
    EXPECT_EQ(statusOnly.code(), 0) << "a status alone keeps the real answer";

    ASSERT_EQ(post("/__test/fault", {{"path", "/qasr/adjust"}, {"delay_ms", 800}}).code(), 0);
    const HttpResult late = http.send("POST", url("/qasr/adjust"), QJsonDocument(body).toJson(),
                                      {{"Content-Type", "application/json"}}, 300);
    EXPECT_EQ(late.error, QNetworkReply::OperationCanceledError) << "the client gave up first";
    // The answer to the client that left is finished while this slower one waits: the server lives on.
    ASSERT_EQ(post("/__test/fault", {{"path", "/qasr/adjust"}, {"delay_ms", 1500}}).code(), 0);
    const HttpResult waited = post("/qasr/adjust", body);
    EXPECT_EQ(waited.code(), 0) << waited.body.toStdString();

    ASSERT_EQ(post("/__test/fault", {{"path", "/qasr/adjust"}, {"envelope_code", 7}, {"count", 5}}).code(), 0);
    ASSERT_EQ(post("/__test/reset", {}).code(), 0);
    EXPECT_EQ(post("/qasr/adjust", body).code(), 0) << "reset clears faults";
    for (const QJsonObject& outOfRange :
         {QJsonObject{{"path", "qasr"}}, QJsonObject{{"path", "/a"}, {"delay_ms", -1}}, QJsonObject{{"path", "/a"}, {"count", 0}},
          QJsonObject{{"path", "/a"}, {"count", 1.5}}, QJsonObject{{"path", "/a"}, {"http_status", 99}},
          QJsonObject{{"path", "/a"}, {"http_status", "500"}}})
        EXPECT_EQ(post("/__test/fault", outOfRange).code(), 400) << QJsonDocument(outOfRange).toJson().toStdString();
}

// One recognition thread and one waiting place: every further upload is busy.
class BusyServer : public ServerApi {
protected:
    BusyServer() { args << QStringList{"--recognition-threads", "1", "--recognition-queue", "1"}; }

    // `count` scripted uploads started at once, each held `delayMs` by its handler.
    QList<QNetworkReply*> startUploads(int count, int delayMs)
    {
        EXPECT_TRUE(server.scriptRecognizer(QStringList(count, QStringLiteral("held"))));
        EXPECT_TRUE(server.injectFault(QStringLiteral("/qasr/recognize"), {{"delay_ms", delayMs}}, count));
        QList<QNetworkReply*> replies;
        for (int i = 0; i < count; ++i) {
            QNetworkReply* reply = startUpload(network, "not decoded: scripted");
            QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [reply](qint64 sent, qint64 total) {
                if (total > 0 && sent == total)
                    reply->setProperty("sent", true);
            });
            replies << reply;
        }
        EXPECT_TRUE(test::waitUntil([&] {
            return std::all_of(replies.cbegin(), replies.cend(),
                               [](QNetworkReply* r) { return r->isFinished() || r->property("sent").toBool(); });
        }));
        return replies;
    }

    QNetworkAccessManager network;
};

// Then SIGTERM while an upload runs and another waits: the running one is
// answered, the waiting one is told 503, and the process ends on its own.
TEST_F(BusyServer, UploadsBeyondThePoolAreBusyNeverStallOtherEndpointsAndTerminationAnswersEveryUpload)
{
    const QList<QNetworkReply*> uploads = startUploads(16, 2000);
    const HttpResult check = http.get(url("/app/check?current_version=1.0&platform=linux"));
    EXPECT_EQ(check.code(), 0) << check.body.toStdString();
    const auto answeredOk = [&] {
        return std::count_if(uploads.cbegin(), uploads.cend(), [](QNetworkReply* r) {
            return r->isFinished() && r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
        });
    };
    EXPECT_EQ(answeredOk(), 0) << "the update check did not wait for a recognition";

    QList<int> codes;
    for (QNetworkReply* reply : uploads)
        codes << codeOf(reply);
    EXPECT_EQ(codes.count(0), 2) << "one running, one queued";
    EXPECT_EQ(codes.count(503), 14) << "the rest answered busy with the envelope";

    const QList<QNetworkReply*> last = startUploads(2, 1500);
    ASSERT_EQ(http.get(url("/app/check?current_version=1.0&platform=linux")).code(), 0);
    server.stop();
    EXPECT_TRUE(server.stoppedCleanly()) << server.standardError().toStdString();
    EXPECT_EQ(codeOf(last[0]), 0) << "the running upload got its answer";
    EXPECT_EQ(last[0]->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    EXPECT_EQ(codeOf(last[1]), 503) << "the queued upload was answered, not dropped";
}

// Each option that cannot work stops the server with a message naming it.
TEST(ServerStartup, BadOptionsStopItWithAMessage)
{
    velnor::test::TempDir dataDir;
    const struct {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{"--latest-version", "windows=1.0"}, "platform must be linux or macos"},
        {{"--host", "not-an-address"}, "--host: not an IP address"},
        // Test routes answer whoever reaches them: never on an address others can reach.
        {{"--host", "0.0.0.0"}, "--test-controls needs a loopback --host"},
        {{"--host", "::"}, "--test-controls needs a loopback --host"},
        {{"--tls-cert", dataDir.filePath("cert.pem")}, "--tls-cert and --tls-key go together"},
        {{"--dev-sms", "--sms-command", "/bin/true"}, "--dev-sms and --sms-command"},
        {{"--recognizer", "whisper"}, "--recognizer: unknown recogniser \"whisper\""},
        {{"--realtime-recognizer", "none"}, "--realtime-recognizer: unknown recogniser \"none\""},
        {{"--recognizer", "cloud"}, "the cloud recogniser needs --cloud-secret-id"},
        {{"--realtime-recognizer", "openai"}, "the openai recogniser needs --openai-url"},
        {{"--recognizer", "openai", "--openai-url", "file:///etc/passwd"}, "--openai-url: not an http(s) URL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        test::ServerProcess server;
        EXPECT_FALSE(server.start(dataDir.path(), c.arguments));
        EXPECT_TRUE(server.standardError().contains(c.message)) << server.standardError().toStdString();
    }
    test::ServerProcess server;
    ASSERT_TRUE(server.start(dataDir.path(), {QStringLiteral("--host"), QStringLiteral("0.0.0.0")}, false))
        << "without test controls any address will do";
    // ... and then the test routes do not exist: no fault can be armed, no code read.
    test::RawHttp http;
    EXPECT_EQ(http.json("POST", server.url(QStringLiteral("/__test/fault")), {{"path", "/qasr/adjust"}, {"envelope_code", 500}})
                  .status,
              404);
    EXPECT_EQ(http.get(server.url(QStringLiteral("/__test/sms-code?phone=13812345678"))).status, 404);
    EXPECT_EQ(http.json("POST", server.url(QStringLiteral("/qasr/adjust")), {{"base64_text", ""}}).code(), 0);
}

} // namespace
} // namespace velnor::server
