// The cloud recogniser's pieces without a network: the TC3 request
// signature against the vendor's published worked example and cases of ours,
// the one-sentence request's fields and the reading of its answers (the request
// itself is checked by the fake API in the loopback test).
#include "realtime/RealtimeSignature.h"
#include "recognition/cloud/CloudSettings.h"
#include "recognition/cloud/RelayProtocol.h"
#include "recognition/cloud/SentenceRecognition.h"
#include "recognition/cloud/Tc3Signer.h"
#include "support/TempDir.h"

#include <QCommandLineParser>

#include <gtest/gtest.h>

namespace velnor::server::cloud {
namespace {

// Signatures worked out independently of this code (a few lines of a
// scripting language's HMAC), one aspect changed at a time; the signing key
// holds the UTC date, so the day's edge is in the signature.
struct SignatureCase {
    const char* name;
    const char* secretKey;
    const char* host;
    qint64 timestamp;
    const char* payload;
    const char* signature;
};

const SignatureCase kSignatureCases[] = {
    {"last second of a UTC day", "velnor-test-key", "asr.tencentcloudapi.com", 1700006399,
     R"({"EngSerViceType":"16k_zh","Data":"AAAA"})", "5b9f02e6bbeebb2206fa4d1cc2294cabc1b9064012b765fa887de124de43b9fd"},
    {"first second of the next day", "velnor-test-key", "asr.tencentcloudapi.com", 1700006400,
     R"({"EngSerViceType":"16k_zh","Data":"AAAA"})", "b83d2a68f262b85044007999b7143168ab3699bd71f483c2c3bdc3b889c98504"},
    {"non-ASCII key and body, host with a port", "另一个密钥", "127.0.0.1:8443", 1765000000,
     R"({"HotwordList":"会议|10"})", "ccbe83d74d1e4011095579662057e73cb5fad3f842be4dae1e400a719654b08f"},
    {"empty body", "velnor-test-key", "asr.tencentcloudapi.com", 1700006399, "",
     "c07d5faf5da18babcd53cac99c1a726ea4eccc00012d3517f3dea3055296ff0d"},
};

TEST(Tc3Signer, SignsOurCalls)
{
    for (const SignatureCase& c : kSignatureCases) {
        SCOPED_TRACE(c.name);
        const Tc3Call call{.host = QString::fromUtf8(c.host), .service = QStringLiteral("asr"),
                           .action = QStringLiteral("SentenceRecognition"), .version = QStringLiteral("2019-06-14"),
                           .region = {}, .timestamp = c.timestamp, .payload = c.payload};
        EXPECT_EQ(Tc3Signer::signature(QString::fromUtf8(c.secretKey), call), QByteArray(c.signature));
    }
}

// The request's engine model and hot-word list: only what their syntax can carry.
TEST(SentenceRecognition, EngineModelFollowsTheLanguageAndHotWordListKeepsWhatItsSyntaxCanCarry)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "16k_zh"}, {"zh", "16k_zh"}, {"en", "16k_en"}, {"EN ", "16k_en"}, {"zh_dialect", "16k_zh_dialect"},
        {"yue", "16k_yue"}, {"../x", "16k_zh"}, {"en&SourceType=2", "16k_zh"}, {"zh-CN", "16k_zh"}};
    for (const auto& [language, model] : cases) {
        SCOPED_TRACE(language);
        EXPECT_EQ(SentenceRecognition::engineModel(QString::fromUtf8(language)), QLatin1String(model));
    }

    EXPECT_EQ(SentenceRecognition::hotWordList({}), QString());
    EXPECT_EQ(SentenceRecognition::hotWordList({QStringLiteral("会议"), QStringLiteral("a|b"), QStringLiteral("c,d"),
                                                QStringLiteral("  "), QStringLiteral("Velnor")}),
              QStringLiteral("会议|10,Velnor|10"));
    EXPECT_EQ(SentenceRecognition::hotWordList({QString(40, QLatin1Char('x'))}), QString(30, QLatin1Char('x')) + "|10");

    QStringList many;
    for (int i = 0; i < 200; ++i)
        many << QStringLiteral("w%1").arg(i);
    EXPECT_EQ(SentenceRecognition::hotWordList(many).split(QLatin1Char(',')).size(), 128);
}

struct AnswerCase {
    const char* name;
    int status;
    const char* body;
    const char* text;    // nullptr: a failure
    const char* failure; // part of the failure's text
};

const AnswerCase kAnswerCases[] = {
    {"result", 200, R"({"Response":{"Result":"今天开会","AudioDuration":1200,"RequestId":"r1"}})", "今天开会", ""},
    {"empty result", 200, R"({"Response":{"Result":"","RequestId":"r2"}})", "", ""},
    {"error envelope", 200,
     R"({"Response":{"Error":{"Code":"AuthFailure.SignatureFailure","Message":"The provided credentials could not be validated."},"RequestId":"r3"}})",
     nullptr, "refused with AuthFailure.SignatureFailure: The provided credentials could not be validated."},
    {"error without code", 200, R"({"Response":{"Error":{}}})", nullptr, "refused with an unnamed error"},
    {"result of the wrong type", 200, R"({"Response":{"Result":42}})", nullptr, "answer without a result (HTTP 200)"},
    {"no Response object", 200, R"({"Result":"hi"})", nullptr, "unreadable answer (HTTP 200"},
    {"HTML error page", 502, "<html>Bad Gateway</html>", nullptr, "unreadable answer (HTTP 502, 24 bytes)"},
    {"truncated JSON", 200, R"({"Response":{"Result":"hal)", nullptr, "unreadable answer"},
    {"result with a server error status", 500, R"({"Response":{"Result":"x"}})", nullptr, "HTTP 500"},
};

TEST(SentenceRecognition, ReadsAnswersAndNamesEveryFailure)
{
    for (const AnswerCase& c : kAnswerCases) {
        SCOPED_TRACE(c.name);
        const FileRecognition result = SentenceRecognition::readAnswer(c.status, QByteArray(c.body));
        if (c.text) {
            ASSERT_TRUE(result.text.has_value()) << result.error.toStdString();
            EXPECT_EQ(*result.text, QString::fromUtf8(c.text));
        } else {
            EXPECT_FALSE(result.text.has_value());
            EXPECT_TRUE(result.error.startsWith("cloud recogniser: ")) << result.error.toStdString();
            EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.failure))) << result.error.toStdString();
        }
    }
}

TEST(RelayProtocol, UpstreamUrlPassesTheEndpointsOwnCheck)
{
    const CloudSettings settings{.secretId = QStringLiteral("AKIDrelay0000000000000000000000000000"),
                                 .secretKey = QStringLiteral("relay-key+/="), .appId = QStringLiteral("1300000042"),
                                 .region = {}, .realtimeUrl = QUrl(QStringLiteral("ws://127.0.0.1:18999/asr/v2/"))};
    const qint64 now = 1765000000;
    const QUrl url = RelayProtocol::signedUrl(settings, QStringLiteral("voice_1765000000000_4821"),
                                              {QStringLiteral("en"), {QStringLiteral("会议 室"), QStringLiteral("a+b")}},
                                              now, 123456789);
    EXPECT_EQ(url.scheme(), "ws");
    EXPECT_EQ(url.path(), "/asr/v2/1300000042");
    const auto verify = [&](const QString& key) {
        return RealtimeSignature::verify({settings.appId, settings.secretId, key}, QStringLiteral("127.0.0.1:18999"),
                                         url.path(), url.query(QUrl::FullyEncoded).toLatin1(), now + 5);
    };
    const RealtimeVerdict verdict = verify(settings.secretKey);
    ASSERT_TRUE(verdict.accepted()) << verdict.message.toStdString();
    EXPECT_EQ(verdict.voiceId, "voice_1765000000000_4821");
    EXPECT_EQ(verdict.params.value("engine_model_type"), "16k_en");
    EXPECT_EQ(verdict.params.value("hotword_list"), QStringLiteral("会议 室|10,a+b|10"));
    EXPECT_EQ(verdict.params.value("nonce"), "123456789");
    EXPECT_FALSE(url.toString().contains(settings.secretKey));

    EXPECT_EQ(verify(QStringLiteral("another key")).code, RealtimeSignature::kAuthenticationError);
}

struct MessageCase {
    const char* name;
    bool ready;
    const char* message;
    std::vector<StreamEvent::Kind> kinds;
    int code;          // of a Failed event
    const char* text;  // of the Segment, or part of the failure
};

using K = StreamEvent::Kind;
const MessageCase kMessageCases[] = {
    {"handshake", false, R"({"code":0,"message":"success","voice_id":"v"})", {K::Ready}, 0, ""},
    {"result", true,
     R"({"code":0,"voice_id":"v","result":{"slice_type":1,"index":0,"start_time":0,"end_time":800,"voice_text_str":"今天","word_size":0},"final":0})",
     {K::Segment}, 0, "今天"},
    {"final", true, R"({"code":0,"voice_id":"v","final":1})", {K::Finished}, 0, ""},
    {"result and final at once", true,
     R"({"code":0,"result":{"slice_type":2,"index":0,"start_time":0,"end_time":9,"voice_text_str":"完"},"final":1})",
     {K::Segment, K::Finished}, 0, "完"},
    {"result before the handshake", false,
     R"({"code":0,"result":{"slice_type":0,"index":0,"start_time":0,"end_time":0,"voice_text_str":""}})",
     {K::Ready, K::Segment}, 0, ""},
    {"stream error keeps its code", true, R"({"code":4008,"message":"no audio for 15 s","voice_id":"v"})",
     {K::Failed}, 4008, "real-time endpoint error 4008: no audio for 15 s"},
    {"refused credentials are internal", false, R"({"code":4002,"message":"signature mismatch"})", {K::Failed}, 0,
     "error 4002: signature mismatch"},
    {"code outside the protocol", true, R"({"code":6001,"message":"region"})", {K::Failed}, 0, "6001"},
    {"not JSON", true, "<<garbage>>", {K::Failed}, 0, "unreadable"},
    {"no code", true, R"({"result":{}})", {K::Failed}, 0, "unreadable"},
    {"fractional code", true, R"({"code":0.5})", {K::Failed}, 0, "unreadable"},
    {"result not an object", true, R"({"code":0,"result":"hi"})", {K::Failed}, 0, "not an object"},
    {"result without text", true,
     R"({"code":0,"result":{"slice_type":2,"index":0,"start_time":0,"end_time":9}})", {K::Failed}, 0, "without a text"},
    {"result with a text index", true,
     R"({"code":0,"result":{"slice_type":2,"index":"0","start_time":0,"end_time":9,"voice_text_str":"x"}})",
     {K::Failed}, 0, "index"},
};

TEST(RelayProtocol, ReadsEveryUpstreamMessage)
{
    for (const MessageCase& c : kMessageCases) {
        SCOPED_TRACE(c.name);
        const std::vector<StreamEvent> events = RelayProtocol::read(QString::fromUtf8(c.message), c.ready);
        ASSERT_EQ(events.size(), c.kinds.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].kind, c.kinds[i]);
            if (events[i].kind == K::Segment) {
                EXPECT_EQ(events[i].segment.text, QString::fromUtf8(c.text));
            }
            if (events[i].kind == K::Failed) {
                EXPECT_EQ(events[i].code, c.code);
                EXPECT_TRUE(events[i].error.startsWith("cloud recogniser: "));
                EXPECT_TRUE(events[i].error.contains(QString::fromUtf8(c.text))) << events[i].error.toStdString();
            }
        }
    }
}

struct SettingsCase {
    const char* name;
    QStringList arguments;     // after the program name; KEYFILE stands for a file holding " key-from-file\n"
    const char* environmentKey; // VELNOR_CLOUD_SECRET_KEY, or nullptr
    const char* key;            // the key read, or nullptr when start-up must fail
    const char* failure;        // part of the start-up error
    CloudSettings::Use use = CloudSettings::Use::Streams;
};

TEST(CloudSettings, NeedsEveryCredentialAndTakesTheKeyFromAFileOrTheEnvironment)
{
    const velnor::test::TempDir dir;
    const QString keyFile = dir.writeFile(QStringLiteral("cloud.key"), " key-from-file\n");
    const QStringList ids{"--cloud-secret-id", "AKIDx", "--cloud-app-id", "1300000000"};
    const SettingsCase cases[] = {
        {"key from a file", ids + QStringList{"--cloud-secret-key-file", "KEYFILE"}, nullptr, "key-from-file", ""},
        {"key from the environment", ids, "env-key", "env-key", ""},
        {"file wins over the environment", ids + QStringList{"--cloud-secret-key-file", "KEYFILE"}, "env-key",
         "key-from-file", ""},
        {"no key", ids, nullptr, nullptr, "needs its secret key"},
        {"unreadable key file", ids + QStringList{"--cloud-secret-key-file", "/nonexistent/key"}, "env-key", nullptr,
         "cannot read --cloud-secret-key-file"},
        {"no secret id", {"--cloud-app-id", "1300000000"}, "env-key", nullptr, "--cloud-secret-id"},
        {"no app id", {"--cloud-secret-id", "AKIDx"}, "env-key", nullptr, "--cloud-app-id"},
        {"no app id needed for files", {"--cloud-secret-id", "AKIDx"}, "env-key", "env-key", "", CloudSettings::Use::Files},
        {"API URL of another scheme", ids + QStringList{"--cloud-api-url", "ftp://x/"}, "env-key", nullptr,
         "--cloud-api-url must be an http(s) URL"},
        {"real-time URL over http", ids + QStringList{"--cloud-realtime-url", "http://x/asr/v2"}, "env-key", nullptr,
         "--cloud-realtime-url must be a ws(s) URL"},
        {"no calls at all", ids + QStringList{"--cloud-max-requests", "0"}, "env-key", nullptr, "--cloud-max-requests"},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.environmentKey)
            qputenv("VELNOR_CLOUD_SECRET_KEY", c.environmentKey);
        else
            qunsetenv("VELNOR_CLOUD_SECRET_KEY");
        QCommandLineParser parser;
        CloudSettings::addOptions(parser);
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(QStringLiteral("KEYFILE"), keyFile);
        ASSERT_TRUE(parser.parse(QStringList{"velnor-server"} + arguments)) << parser.errorText().toStdString();
        QString error;
        const std::optional<CloudSettings> settings = CloudSettings::fromParser(parser, c.use, &error);
        if (c.key) {
            ASSERT_TRUE(settings.has_value()) << error.toStdString();
            EXPECT_EQ(settings->secretKey, QLatin1String(c.key));
            EXPECT_EQ(settings->apiUrl.host(), "asr.tencentcloudapi.com");
        } else {
            EXPECT_FALSE(settings.has_value());
            EXPECT_TRUE(error.contains(QLatin1String(c.failure))) << error.toStdString();
        }
    }
    qunsetenv("VELNOR_CLOUD_SECRET_KEY");
}

} // namespace
} // namespace velnor::server::cloud
