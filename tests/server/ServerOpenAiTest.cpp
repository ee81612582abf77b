// velnor-server with --recognizer openai against a fake OpenAI-compatible
// transcription server on 127.0.0.1: uploads and real-time streams come back
// with its text; a wrong key, a server that is down or one that never answers
// gives the client an error in time, and the log says which recogniser failed
// and why, without the key.
#include "ApiFixture.h"
#include "RealtimeDictation.h"
#include "http/MultipartParser.h"
#include "recognition/openai/TranscriptionRequest.h"

#include <QElapsedTimer>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>

namespace velnor::server {
namespace {

using test::HttpResult;

const QString kAppId = QStringLiteral("1300000088");
const QString kSecretId = QStringLiteral("AKIDopenaicompatible0000000000000000");
const QByteArray kSecretKey = "openaicompatiblekey0000000000000";

// An OpenAI-compatible transcription server on 127.0.0.1, in the test's own
// process (it answers while the test's event loop runs): it refuses a wrong
// Bearer key like the hosted services do, answers `text`, or never answers.
class FakeTranscriptionServer {
public:
    // What one request carried: its form's fields by name, the file part as "<file name>: <size> bytes".
    struct Request {
        QMap<QString, QString> fields;
        bool authorised = false;
    };

    FakeTranscriptionServer()
    {
        m_http.route(QStringLiteral("/v1/audio/transcriptions"), QHttpServerRequest::Method::Post,
                     [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                         answer(request, std::move(responder));
                     });
        m_port = m_http.listen(QHostAddress::LocalHost);
    }

    QUrl baseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/v1").arg(m_port)); }

    QByteArray key = "sk-fake-transcription-key-0123456789";
    QString text = QStringLiteral("scripted transcription");
    bool hang = false;
    std::vector<Request> requests;

private:
    void answer(const QHttpServerRequest& request, QHttpServerResponder&& responder)
    {
        Request& seen = requests.emplace_back();
        seen.authorised = request.value("authorization") == "Bearer " + key;
        const auto form = MultipartParser::parse(request.value("content-type"), request.body(), nullptr);
        for (const MultipartPart& part : form ? form->parts : QList<MultipartPart>()) {
            seen.fields[QString::fromUtf8(part.name)] = part.fileName.isEmpty()
                ? QString::fromUtf8(part.data) : QStringLiteral("%1: %2 bytes").arg(part.fileName).arg(part.data.size());
        }
        if (hang)
            m_held.push_back(std::move(responder)); // never answered
        else if (!seen.authorised)
            responder.write(R"({"error":{"message":"Incorrect API key provided"}})", "application/json",
                            QHttpServerResponder::StatusCode::Unauthorized);
        else
            responder.write(QJsonDocument(QJsonObject{{QStringLiteral("text"), text}}));
    }

    QHttpServer m_http;
    quint16 m_port = 0;
    std::vector<QHttpServerResponder> m_held;
};

// Two seconds of 16 kHz audio: the fake does not listen, it only counts the bytes.
const QByteArray kTwoSeconds(2 * 32000, '\x10');

class ServerOpenAi : public test::ServerApi {
protected:
    void SetUp() override {} // each test starts the server it needs

    void startServer(const QUrl& baseUrl, const QByteArray& key, int timeoutSeconds = 30)
    {
        ASSERT_TRUE(server.start(dataDir.path(),
                                 args + test::realtimeCredentials(dataDir, kAppId, kSecretId, kSecretKey)
                                     << "--recognizer" << "openai" << "--openai-url" << baseUrl.toString()
                                     << "--openai-key-file" << dataDir.writeFile("openai.key", key + '\n')
                                     << "--recognition-timeout" << QString::number(timeoutSeconds)))
            << server.error().toStdString();
    }

    HttpResult uploadWav(const QString& token = {}, const QByteArray& outLanguage = "zh-CN")
    {
        const QByteArray wav = wavFile({reinterpret_cast<const std::int16_t*>(kTwoSeconds.constData()), 32000});
        return upload(wav, {{"file_type", "wav"}, {"out_language", outLanguage}}, token, 30000);
    }

    FakeTranscriptionServer fake;
    test::RealtimeDictationClient client{kAppId, kSecretId, kSecretKey};
};

TEST_F(ServerOpenAi, UploadsAndStreamsComeBackWithTheServersTextOrAnErrorInTimeThatTheLogExplains)
{
    startServer(fake.baseUrl(), fake.key);
    ASSERT_EQ(uploadWav({}, "").code(), 0);
    EXPECT_EQ(fake.requests.front().fields.keys(), (QStringList{"file", "model", "response_format"}))
        << "no language or hot words known, none sent";
    const QString token = signIn();
    ASSERT_EQ(post("/qasr/hotword", {{"text", "Velnor"}, {"weight", 5}}, token).code(), 0);

    const HttpResult answered = uploadWav(token);
    ASSERT_EQ(answered.code(), 0) << answered.body.toStdString();
    EXPECT_EQ(answered.data().toObject().value("text").toString(), fake.text);
    ASSERT_EQ(fake.requests.size(), 2u);
    const auto& seen = fake.requests.back();
    EXPECT_TRUE(seen.authorised);
    const QString wholeWav = QStringLiteral("audio.wav: %1 bytes").arg(44 + kTwoSeconds.size()); // all the audio, 16 kHz
    EXPECT_EQ(seen.fields, (QMap<QString, QString>{{"file", wholeWav}, {"model", "whisper-1"}, {"language", "zh"},
                                                   {"prompt", "Velnor."}, {"response_format", "json"}}));

    const test::Dictation streamed = client.dictate(server.url(), kTwoSeconds);
    ASSERT_TRUE(streamed.failure.isEmpty()) << streamed.failure.toStdString();
    EXPECT_EQ(streamed.text, fake.text);
    EXPECT_EQ(fake.requests.back().fields.value("language"), QStringLiteral("en")) << "from the engine model 16k_en";
    EXPECT_EQ(fake.requests.back().fields.value("file"), wholeWav) << "the final text is of all the audio";
    server.stop();

    const QUrl down(QStringLiteral("http://127.0.0.1:1/v1")); // nothing listens
    struct Case {
        const char* name;
        QUrl baseUrl;
        QByteArray key;
        bool hang;
        QByteArray why;
    };
    const QList<Case> cases{
        {"wrong key", fake.baseUrl(), "sk-wrong-key-that-must-not-be-logged", false, "HTTP 401: Incorrect API key"},
        {"down", down, fake.key, false, "cannot reach"},
        {"hangs", fake.baseUrl(), fake.key, true, "did not answer before the deadline"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake.hang = c.hang;
        startServer(c.baseUrl, c.key, 2);
        QElapsedTimer clock;
        clock.start();
        const HttpResult result = uploadWav();
        EXPECT_EQ(result.code(), 503) << result.body.toStdString();
        EXPECT_TRUE(result.msg().contains("openai")) << result.msg().toStdString();
        EXPECT_LT(clock.elapsed(), 10000) << "answered by the deadline, not hung";

        const test::Dictation dictation = client.dictate(server.url(), kTwoSeconds, 20000);
        EXPECT_EQ(dictation.errorCode, 4005) << dictation.failure.toStdString();

        const QByteArray log = server.standardError();
        EXPECT_TRUE(log.contains("recognition by openai failed")) << log.toStdString();
        EXPECT_TRUE(log.contains("the openai recogniser failed")) << log.toStdString();
        EXPECT_TRUE(log.contains(c.why)) << log.toStdString();
        EXPECT_FALSE(log.contains(c.key)) << "the key never reaches the log";
        server.stop();
    }
}

} // namespace
} // namespace velnor::server
