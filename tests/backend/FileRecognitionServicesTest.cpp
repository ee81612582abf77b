#include "backend/AdjustTextService.h"
#include "backend/MultipartFormBody.h"
#include "backend/QASRService.h"
#include "backend/support/ClientFixture.h"

#include <QSet>

namespace velnor {
namespace {

using test::FakeHttpTransport;

const QString kBoundary = QStringLiteral("Boundary-0F0E0D0C-0B0A-4908-8706-050403020100");

RecognizeAudioFileParams upload(const QByteArray& audio)
{
    RecognizeAudioFileParams params;
    params.fileType = QStringLiteral("m4a");
    params.audioData = audio;
    return params;
}

TEST(MultipartBody, EveryFieldInItsOrderNoValueAddsHeadersOrPartsAndBoundariesAreFresh)
{
    // The audio goes as it is, even bytes that look like a delimiter.
    const QByteArray audio("\x00\x01\r\n--B", 7);
    RecognizeAudioFileParams params = upload(audio);
    params.appID = QStringLiteral("org.example.Editor");
    params.appName = QStringLiteral("编辑器");
    params.osType = QStringLiteral("linux");
    params.outLanguage = QString(); // an empty value still makes its part
    params.overOver = false;
    params.userId = QStringLiteral("not-sent");
    params.qasrVoiceType = QStringLiteral("not-sent-either");
    const QByteArray body = QASRService::multipartBody(params, QStringLiteral("B"));
    auto part = [](const char* name, const QByteArray& value) {
        return QByteArray("--B\r\nContent-Disposition: form-data; name=\"") + name + "\"\r\n\r\n" + value + "\r\n";
    };
    const QByteArray expected = part("file_type", "m4a") + part("app_id", "org.example.Editor")
        + part("app_name", QStringLiteral("编辑器").toUtf8()) + part("os_type", "linux") + part("out_language", "")
        + part("version", "v2") + part("over_over", "false")
        + "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.m4a\"\r\nContent-Type: audio/m4a\r\n\r\n"
        + audio + "\r\n--B--\r\n";
    EXPECT_EQ(body, expected);
    EXPECT_FALSE(body.contains("not-sent"));

    // Values cannot add headers or parts, and boundaries are fresh.
    params = upload("A");
    params.appName = QStringLiteral("Evil\r\n--B\r\nContent-Disposition: form-data; name=\"version\"\r\n\r\nv9");
    params.outLanguage = QStringLiteral("en\nX-Injected: 1");
    params.fileType = QStringLiteral("m4a\"\r\nContent-Type: text/html");
    const QByteArray hostile = QASRService::multipartBody(params, QStringLiteral("B"));
    // Line by line: one delimiter per part (file_type, app_name, out_language,
    // version, file), the closing line, and a single header line of our own.
    const QList<QByteArray> lines = hostile.split('\n');
    const auto count = [&](const QByteArray& start) {
        return std::count_if(lines.cbegin(), lines.cend(), [&](const QByteArray& line) { return line.startsWith(start); });
    };
    EXPECT_EQ(std::count(lines.cbegin(), lines.cend(), QByteArray("--B\r")), 5);
    EXPECT_EQ(count("Content-Disposition:"), 5);
    EXPECT_EQ(count("Content-Type:"), 1);
    EXPECT_TRUE(hostile.endsWith("\r\n--B--\r\n"));
    EXPECT_TRUE(hostile.contains("name=\"app_name\"\r\n\r\nEvil--BContent-Disposition: form-data; name=\"version\"v9\r\n"));
    EXPECT_TRUE(hostile.contains("\r\n\r\nenX-Injected: 1\r\n"));
    EXPECT_TRUE(hostile.contains("filename=\"audio.m4aContent-Type: text/html\"\r\n"));

    QSet<QString> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(MultipartFormBody::newBoundary());
    EXPECT_EQ(seen.size(), 50);
}

using QASRServiceTest = test::ClientFixture;

TEST_F(QASRServiceTest, UploadGoesAsMultipartRecordUpdateAsJsonAndEachFailureInItsDomain)
{
    QASRService service{client, log.logger(), [] { return kBoundary; }};
    std::optional<Result<RecognizeAudioFileResponse, ServiceError>> recognized;
    std::optional<Result<bool, ServiceError>> updated;
    RecognizeAudioFileParams params = upload("RIFF");
    params.overOver = true;
    service.recognizeAudioFile(params, into(recognized));
    const HttpRequest& sent = transport.last();
    EXPECT_EQ(sent.url.path(), QStringLiteral("/qasr/recognize"));
    EXPECT_EQ(FakeHttpTransport::header(sent, "Content-Type"), "multipart/form-data; boundary=" + kBoundary.toUtf8());
    EXPECT_EQ(sent.body, QASRService::multipartBody(params, kBoundary));
    EXPECT_TRUE(log.mentions(QStringLiteral("\n请求体: [multipart form data]")));
    EXPECT_FALSE(log.mentions(QStringLiteral("请求参数")));
    transport.respondBody(R"({"code":0,"data":{"text":"hello","id":"9","over_over":true}})");
    ASSERT_TRUE(recognized && recognized->ok());
    EXPECT_EQ(recognized->value().text, QStringLiteral("hello"));
    EXPECT_EQ(recognized->value().overOver, true);

    for (const auto& [answer, error] : {
             std::pair<test::Reply, const char*>{{R"({"code":0})"}, R"(Error Domain=APIResponseError Code=2 "未知错误")"},
             {{nullptr, TransportErrorKind::TimedOut},
              R"(Error Domain=QASRServiceTimeoutErrorDomain Code=-1001 "请求超时: 服务器响应时间超过10秒")"},
             {{}, R"(Error Domain=QASRServiceNetworkErrorDomain Code=-1 "网络请求失败: Connection refused")"},
             {{R"({"code":413,"msg":"too large"})"}, R"(Error Domain=QASRServiceErrorDomain Code=413 "API错误: too large")"},
             {{nullptr, TransportErrorKind::NotPermitted}, "Error Domain=NSPOSIXErrorDomain Code=1 \"Network access is not permitted. Please check your app's network permissions.\""},
         }) {
        SCOPED_TRACE(error);
        service.recognizeAudioFile(upload("A"), into(recognized));
        reply(answer);
        EXPECT_EQ(test::outcomeText(recognized), error);
    }
    EXPECT_EQ(recognized->error().recoverySuggestion,
              QStringLiteral("Please verify network permissions in System Preferences > Security & Privacy > Network."));

    // A record update goes as JSON.
    RecognizeRecordUpdateReq request;
    request.id = QStringLiteral("9");
    request.textInputMethod = QStringLiteral("clipboard");
    service.updateRecognizeRecord(request, into(updated));
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/qasr/recognize/update"));
    EXPECT_EQ(FakeHttpTransport::header(transport.last(), "Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(jsonBody(transport.count() - 1), (QJsonObject{{QStringLiteral("id"), QStringLiteral("9")},
                                                            {QStringLiteral("text_input_method"), QStringLiteral("clipboard")}}));
    // Transport failures are passed on as they are, in no domain of the service.
    for (const auto& [answer, value, error] :
         {std::tuple<test::Reply, std::optional<bool>, const char*>{{R"({"code":0,"data":null})"}, true, "ok"},
          {{R"({"code":0,"data":false})"}, false, "ok"},
          {{R"({"code":404,"msg":"no such record"})"}, {}, R"(Error Domain=QASRServiceErrorDomain Code=404 "API错误: no such record")"},
          {{}, {}, R"(Error Domain=NetworkTransportErrorDomain Code=99 "Connection refused")"}}) {
        SCOPED_TRACE(error);
        service.updateRecognizeRecord(request, into(updated));
        reply(answer);
        EXPECT_EQ(test::outcomeText(updated), error);
        if (value) {
            EXPECT_EQ(updated->value(), *value);
        }
    }
}

using AdjustTextServiceTest = test::ClientFixture;

// Text without a UTF-8 form is refused without a request; only the keys
// that are present are sent; each failure is in its domain.
TEST_F(AdjustTextServiceTest, OnlyEncodableTextAndPresentKeysAreSentAndEachFailureIsInItsDomain)
{
    AdjustTextService service{client, scheduler, log.logger()};
    std::optional<Result<AdjustTextResponse, ServiceError>> outcome;
    const auto adjust = [&](const QString& text, AdjustTextParams params = {}) {
        params.text = text;
        return service.adjustText(params, into(outcome));
    };
    QString broken = QStringLiteral("ab");
    broken.insert(1, QChar(0xD83D)); // a lone high surrogate
    EXPECT_EQ(adjust(broken), nullptr);
    EXPECT_EQ(transport.count(), 0);
    EXPECT_FALSE(outcome.has_value());
    scheduler.runDue();
    EXPECT_EQ(test::outcomeText(outcome), R"(Error Domain=AdjustTextServiceErrorDomain Code=-1 "文本编码失败")");

    EXPECT_TRUE(isEncodableAsUtf8(QStringLiteral("emoji 😀 ok")));
    EXPECT_FALSE(isEncodableAsUtf8(QString(QChar(0xDC00))));

    // The text travels as the base64 of its UTF-8.
    adjust(QStringLiteral("你好世界"));
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("base64_text"), QStringLiteral("5L2g5aW95LiW55WM")}}));
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/qasr/adjust"));

    adjust(QString(), {QString(), QStringLiteral("org.example.Editor"), QString(), QStringLiteral("linux"), QStringLiteral("en")});
    EXPECT_EQ(jsonBody(1), (QJsonObject{{QStringLiteral("base64_text"), QString()},
                                        {QStringLiteral("app_id"), QStringLiteral("org.example.Editor")},
                                        {QStringLiteral("app_name"), QString()},
                                        {QStringLiteral("os_type"), QStringLiteral("linux")},
                                        {QStringLiteral("out_language"), QStringLiteral("en")}}));
    adjust(QStringLiteral("hi"));
    transport.respondBody(R"({"code":0,"msg":"ok","data":{"id":"rec-1","text":"Hi."}})");
    ASSERT_TRUE(outcome && outcome->ok());
    EXPECT_EQ(outcome->value().id, QStringLiteral("rec-1"));
    EXPECT_EQ(outcome->value().text, QStringLiteral("Hi."));

    for (const auto& [answer, error] : {
             // A success without data is the unknown error.
             std::pair<test::Reply, const char*>{{R"({"code":0,"data":null})"}, R"(Error Domain=APIResponseError Code=2 "未知错误")"},
             {{R"({"code":500})"}, R"(Error Domain=AdjustTextServiceErrorDomain Code=500 "文本校对API错误: Unknown error")"},
             {{}, R"(Error Domain=AdjustTextServiceNetworkErrorDomain Code=-1 "文本校对网络请求失败: Connection refused")"},
             {{nullptr, TransportErrorKind::TimedOut}, R"(Error Domain=AdjustTextServiceTimeoutErrorDomain Code=-1001 "文本校对请求超时")"},
             {{R"({"code":429,"msg":"too many"})"}, R"(Error Domain=AdjustTextServiceErrorDomain Code=429 "文本校对API错误: too many")"},
         }) {
        SCOPED_TRACE(error);
        adjust(QStringLiteral("hi"));
        reply(answer);
        EXPECT_EQ(test::outcomeText(outcome), error);
        if (!answer.body) {
            EXPECT_EQ(outcome->error().failureReason.isEmpty(), answer.failure != TransportErrorKind::TimedOut);
            EXPECT_EQ(outcome->error().recoverySuggestion.isEmpty(), answer.failure != TransportErrorKind::TimedOut);
        }
    }
    EXPECT_EQ(outcome->error().userInfo.value(QStringLiteral("APIErrorCode")).toInt(), 429);
    for (const char* line : {"[AdjustText] 文本校对成功: 'Hi.'", "[AdjustText] API错误: unknownError", "[AdjustText] 网络请求失败: "})
        EXPECT_TRUE(log.mentions(QString::fromUtf8(line))) << line;
}

} // namespace
} // namespace velnor
