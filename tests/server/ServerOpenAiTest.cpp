// velnor-server with --recognizer openai against a fake OpenAI-compatible
// transcription server on 127.0.0.1: uploads and real-time streams come back
// with its text; a wrong key, a server that is down or one that never answers
// gives the client an error in time, and the log says which recogniser failed
// and why, without the key.
#include "ApiFixture.h"
#include "FakeTranscriptionServer.h"
#include "RealtimeDictation.h"
#include "support/SpeechFixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>

#include <cmath>

namespace velnor::server {
namespace {

using test::HttpResult;

const char* const kAppId = "1300000088";
const char* const kSecretId = "AKIDopenaicompatible0000000000000000";
const char* const kSecretKey = "openaicompatiblekey0000000000000";

// Two seconds of a tone: the fake does not listen, it only counts the bytes.
QByteArray tone()
{
    QByteArray pcm(2 * 32000, Qt::Uninitialized);
    auto* samples = reinterpret_cast<std::int16_t*>(pcm.data());
    for (int i = 0; i < 32000; ++i)
        samples[i] = std::int16_t(8000 * std::sin(i * 0.07));
    return pcm;
}

class ServerOpenAi : public test::ServerApi {
protected:
    void SetUp() override {} // each test starts the server it needs

    void startServer(const QUrl& baseUrl, const QByteArray& key, int timeoutSeconds = 30)
    {
        const QString keyPath = dataDir.filePath("openai.key");
        writeFile(keyPath, key + '\n');
        const QString asrKeyPath = dataDir.filePath("asr.key");
        writeFile(asrKeyPath, kSecretKey);
        ASSERT_TRUE(server.start(dataDir.path(),
                                 test::limitsAndRelease()
                                     << "--recognizer" << "openai" << "--openai-url" << baseUrl.toString()
                                     << "--openai-key-file" << keyPath << "--recognition-timeout"
                                     << QString::number(timeoutSeconds) << "--asr-app-id" << kAppId
                                     << "--asr-secret-id" << kSecretId << "--asr-secret-key-file" << asrKeyPath))
            << server.error().toStdString();
    }

    static void writeFile(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    HttpResult upload(const QByteArray& audio, const QString& token = {})
    {
        test::MultipartBody body("Boundary-openai");
        body.field("file_type", "wav").field("out_language", "zh-CN").file("file", "audio.wav", "audio/wav", audio);
        test::RawHttp::Headers headers{{"Content-Type", body.contentType()}};
        if (!token.isEmpty())
            headers.append({"Authorization", "Bearer " + token.toUtf8()});
        return http.send("POST", url("/qasr/recognize"), body.finish(), headers, 30000);
    }

    QByteArray wav()
    {
        const QString path = speech.wav(QStringLiteral("send the report"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << speech.error().toStdString();
        return file.readAll();
    }

    test::FakeTranscriptionServer fake;
    test::RealtimeDictationClient client{QLatin1String(kAppId), QLatin1String(kSecretId), kSecretKey};
    velnor::test::TempDir workDir;
    velnor::test::SpeechFixtures speech{workDir.path()};
};

TEST_F(ServerOpenAi, AnUploadComesBackWithTheServersTextAndSendsTheHotWords)
{
    startServer(fake.baseUrl(), fake.key);
    const QString token = signIn();
    ASSERT_EQ(post("/qasr/hotword", {{"text", "Velnor"}, {"weight", 5}}, token).code(), 0);

    const HttpResult result = upload(wav(), token);
    ASSERT_EQ(result.code(), 0) << result.body.toStdString();
    EXPECT_EQ(result.data().toObject().value("text").toString(), fake.text);
    ASSERT_EQ(fake.requests.size(), 1u);
    const auto& seen = fake.requests.front();
    EXPECT_TRUE(seen.authorised);
    EXPECT_EQ(seen.model, QStringLiteral("whisper-1"));
    EXPECT_EQ(seen.language, QStringLiteral("zh"));
    EXPECT_EQ(seen.prompt, QStringLiteral("Velnor."));
    EXPECT_EQ(seen.responseFormat, QStringLiteral("json"));
    EXPECT_EQ(seen.fileName, QStringLiteral("audio.wav"));
    EXPECT_GT(seen.wavBytes, 44 + 16000) << "at least half a second of 16 kHz audio";
}

TEST_F(ServerOpenAi, ARealtimeDictationComesBackWithTheServersText)
{
    startServer(fake.baseUrl(), fake.key);
    const test::Dictation dictation = client.dictate(server.url(), tone());
    ASSERT_TRUE(dictation.failure.isEmpty()) << dictation.failure.toStdString();
    EXPECT_EQ(dictation.text, fake.text);
    ASSERT_FALSE(fake.requests.empty());
    EXPECT_EQ(fake.requests.back().language, QStringLiteral("en")) << "from the engine model 16k_en";
    EXPECT_EQ(fake.requests.back().wavBytes, 44 + tone().size()) << "the final text is of all the audio";
}

TEST_F(ServerOpenAi, ARecogniserThatFailsGivesAnErrorInTimeAndTheLogSaysWhy)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl down(QStringLiteral("http://127.0.0.1:%1/v1").arg(closed.serverPort()));
    closed.close();

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
        const HttpResult result = upload(wav());
        EXPECT_EQ(result.code(), 503) << result.body.toStdString();
        EXPECT_TRUE(result.msg().contains("openai")) << result.msg().toStdString();
        EXPECT_LT(clock.elapsed(), 10000) << "answered by the deadline, not hung";

        const test::Dictation dictation = client.dictate(server.url(), tone(), 20000);
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
