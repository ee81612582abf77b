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

class QASRServiceTest : public test::ClientFixture {
protected:
    void recognize(const RecognizeAudioFileParams& params)
    {
        service.recognizeAudioFile(params, [this](Result<RecognizeAudioFileResponse, ServiceError> r) { recognized = r; });
    }

    QASRService service{client, log.logger(), [] { return kBoundary; }};
    std::optional<Result<RecognizeAudioFileResponse, ServiceError>> recognized;
};

TEST(MultipartBody, EveryFieldInItsOrder)
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
}

TEST(MultipartBody, ValuesCannotAddHeadersOrParts)
{
    RecognizeAudioFileParams params = upload("A");
    params.appName = QStringLiteral("Evil\r\n--B\r\nContent-Disposition: form-data; name=\"version\"\r\n\r\nv9");
    params.outLanguage = QStringLiteral("en\nX-Injected: 1");
    params.fileType = QStringLiteral("m4a\"\r\nContent-Type: text/html");
    const QByteArray body = QASRService::multipartBody(params, QStringLiteral("B"));
    // Line by line: one delimiter per part (file_type, app_name, out_language,
    // version, file), the closing line, and a single header line of our own.
    int delimiters = 0;
    int contentTypeLines = 0;
    int dispositionLines = 0;
    for (const QByteArray& line : body.split('\n')) {
        delimiters += line == "--B\r" ? 1 : 0;
        contentTypeLines += line.startsWith("Content-Type:") ? 1 : 0;
        dispositionLines += line.startsWith("Content-Disposition:") ? 1 : 0;
    }
    EXPECT_EQ(delimiters, 5);
    EXPECT_EQ(dispositionLines, 5);
    EXPECT_EQ(contentTypeLines, 1);
    EXPECT_TRUE(body.endsWith("\r\n--B--\r\n"));
    EXPECT_TRUE(body.contains("name=\"app_name\"\r\n\r\nEvil--BContent-Disposition: form-data; "
                              "name=\"version\"v9\r\n"));
    EXPECT_TRUE(body.contains("\r\n\r\nenX-Injected: 1\r\n"));
    EXPECT_TRUE(body.contains("filename=\"audio.m4aContent-Type: text/html\"\r\n"));
}

TEST(MultipartBody, BoundariesAreFresh)
{
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(MultipartFormBody::newBoundary());
    EXPECT_EQ(seen.size(), 50);
}

TEST_F(QASRServiceTest, UploadGoesAsMultipartWithItsBoundary)
{
    RecognizeAudioFileParams params = upload("RIFF");
    params.overOver = true;
    recognize(params);
    const HttpRequest& sent = transport.last();
    EXPECT_EQ(sent.url.path(), QStringLiteral("/qasr/recognize"));
    EXPECT_EQ(FakeHttpTransport::header(sent, "Content-Type"), "multipart/form-data; boundary=" + kBoundary.toUtf8());
    EXPECT_EQ(sent.body, QASRService::multipartBody(params, kBoundary));
}

TEST_F(QASRServiceTest, RecognitionResultsAndErrors)
{
    recognize(upload("A"));
    transport.respondBody(R"({"code":0,"data":{"text":"hello","id":"9","over_over":true}})");
    ASSERT_TRUE(recognized && recognized->ok());
    EXPECT_EQ(recognized->value().text, QStringLiteral("hello"));
    EXPECT_EQ(recognized->value().overOver, true);

    recognize(upload("A"));
    transport.respondBody(R"({"code":0})");
    EXPECT_EQ(recognized->error().domain, kAPIResponseErrorDomain);
    EXPECT_EQ(recognized->error().description, QStringLiteral("未知错误"));

    recognize(upload("A"));
    transport.respondBody(R"({"code":413,"msg":"too large"})");
    EXPECT_EQ(recognized->error().domain, QStringLiteral("QASRServiceErrorDomain"));
    EXPECT_EQ(recognized->error().code, 413);
    EXPECT_EQ(recognized->error().description, QStringLiteral("API错误: too large"));
    EXPECT_EQ(recognized->error().userInfo.value(QStringLiteral("APIErrorCode")).toInt(), 413);

    recognize(upload("A"));
    transport.respondError(TransportErrorKind::TimedOut);
    EXPECT_EQ(recognized->error().domain, QStringLiteral("QASRServiceTimeoutErrorDomain"));
    EXPECT_EQ(recognized->error().code, -1001);
    EXPECT_EQ(recognized->error().description, QStringLiteral("请求超时: 服务器响应时间超过10秒"));

    recognize(upload("A"));
    transport.respondError(TransportErrorKind::NotPermitted, QStringLiteral("Operation not permitted"));
    EXPECT_EQ(recognized->error().domain, QStringLiteral("NSPOSIXErrorDomain"));
    EXPECT_EQ(recognized->error().code, 1);
    EXPECT_EQ(recognized->error().recoverySuggestion,
              QStringLiteral("Please verify network permissions in System Preferences > Security & Privacy > Network."));

    recognize(upload("A"));
    transport.respondError(TransportErrorKind::Other, QStringLiteral("Remote host closed the connection"));
    EXPECT_EQ(recognized->error().domain, QStringLiteral("QASRServiceNetworkErrorDomain"));
    EXPECT_EQ(recognized->error().description, QStringLiteral("网络请求失败: Remote host closed the connection"));
}

TEST_F(QASRServiceTest, RecordUpdate)
{
    std::optional<Result<bool, ServiceError>> updated;
    auto update = [&](const RecognizeRecordUpdateReq& request) {
        service.updateRecognizeRecord(request, [&](Result<bool, ServiceError> r) { updated = r; });
    };
    RecognizeRecordUpdateReq request;
    request.id = QStringLiteral("9");
    request.textInputMethod = QStringLiteral("clipboard");
    update(request);
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/qasr/recognize/update"));
    EXPECT_EQ(FakeHttpTransport::header(transport.last(), "Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("id"), QStringLiteral("9")},
                                        {QStringLiteral("text_input_method"), QStringLiteral("clipboard")}}));
    transport.respondBody(R"({"code":0,"data":null})");
    ASSERT_TRUE(updated && updated->ok());
    EXPECT_TRUE(updated->value());

    update(request);
    transport.respondBody(R"({"code":0,"data":false})");
    EXPECT_FALSE(updated->value());

    update(request);
    transport.respondBody(R"({"code":404,"msg":"no such record"})");
    EXPECT_EQ(updated->error().domain, QStringLiteral("QASRServiceErrorDomain"));
    EXPECT_EQ(updated->error().description, QStringLiteral("API错误: no such record"));

    // Transport failures are passed on as they are.
    update(request);
    transport.respondError(TransportErrorKind::Other, QStringLiteral("Connection refused"));
    EXPECT_EQ(updated->error().description, QStringLiteral("Connection refused"));
    EXPECT_NE(updated->error().domain, QStringLiteral("QASRServiceNetworkErrorDomain"));
}

} // namespace
} // namespace velnor
