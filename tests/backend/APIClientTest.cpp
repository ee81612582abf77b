#include "backend/support/ClientFixture.h"

#include <QJsonArray>

namespace velnor {
namespace {

using test::FakeHttpTransport;
using Outcome = std::optional<Result<APIResponse, APIClientError>>;

class APIClientTest : public test::ClientFixture {
protected:
    APIRequest jsonPost()
    {
        APIRequest request;
        request.url = client.endpoint(QStringLiteral("/qasr/adjust"));
        request.method = QStringLiteral("POST");
        request.headers = APIRequest::jsonHeaders();
        request.parameters = QJsonObject{{QStringLiteral("base64_text"), QStringLiteral("aGk=")}};
        return request;
    }

    TaskHandlePtr send(const APIRequest& request)
    {
        return client.send(request, [this](Result<APIResponse, APIClientError> result) { outcome = result; });
    }

    Outcome outcome;
};

TEST_F(APIClientTest, JsonRequestCarriesTokenContentTypeBodyAndTimeout)
{
    signIn(QStringLiteral("tok-123456789"));
    ASSERT_NE(send(jsonPost()), nullptr);
    ASSERT_EQ(transport.count(), 1);
    const HttpRequest& sent = transport.last();
    EXPECT_EQ(sent.url.toString(), QStringLiteral("https://api.example.test/qasr/adjust"));
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.timeout, std::chrono::seconds(60));
    EXPECT_EQ(FakeHttpTransport::header(sent, "Authorization"), QByteArray("Bearer tok-123456789"));
    EXPECT_EQ(FakeHttpTransport::header(sent, "Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("base64_text"), QStringLiteral("aGk=")}}));
    EXPECT_TRUE(log.mentions(QStringLiteral("API请求: POST https://api.example.test/qasr/adjust\n请求头: "
                                            "[\"Content-Type\": \"application/json\"]\n请求参数: "
                                            "{\"base64_text\":\"aGk=\"}")));
}

TEST_F(APIClientTest, TokenIsReadAtRequestTimeAndEmptyTokenStillSendsTheHeader)
{
    ASSERT_NE(send(jsonPost()), nullptr);
    EXPECT_FALSE(FakeHttpTransport::header(transport.last(), "Authorization").has_value());
    signIn(QString());
    send(jsonPost());
    EXPECT_EQ(FakeHttpTransport::header(transport.last(), "Authorization"), QByteArray("Bearer "));
}

TEST_F(APIClientTest, TokenWithControlCharactersNeverReachesAHeader)
{
    for (const QString& damaged : {QStringLiteral("tok\r\nX-Injected: 1"), QStringLiteral("tok\nX: 1"),
                                   QStringLiteral("tok\u0000"), QStringLiteral("tok\u007F"), QStringLiteral("tok\u0085")}) {
        signIn(damaged);
        ASSERT_NE(send(jsonPost()), nullptr) << "the call still goes out, signed out";
        for (const HttpHeader& header : transport.last().headers) {
            EXPECT_NE(header.first, QByteArray("Authorization"));
            EXPECT_FALSE(header.second.contains("tok"));
        }
    }
    EXPECT_TRUE(log.mentions(QStringLiteral("会话令牌含有控制字符，请求不携带令牌")));
}

TEST_F(APIClientTest, NoLogLineHoldsTheBearerToken)
{
    const QString token = QStringLiteral("eyJhbGciOiJIUzI1NiJ9.secret-part.signature");
    signIn(token);
    send(jsonPost());
    transport.respondBody(R"({"code":0,"data":{"token":"eyJhbGciOiJIUzI1NiJ9.new-token.sig","phone":"1"}})");
    const QString text = log.text();
    EXPECT_TRUE(text.contains(QStringLiteral("Request Header:")));
    EXPECT_TRUE(text.contains(QStringLiteral("\"Authorization\": \"Bearer <redacted>\"")));
    EXPECT_FALSE(text.contains(QStringLiteral("secret-part")));
    EXPECT_FALSE(text.contains(QStringLiteral("new-token")));
}

TEST_F(APIClientTest, GetHasNoBodyAndLogsNoParameters)
{
    APIRequest request;
    request.url = client.endpoint(QStringLiteral("/auth/mev2"));
    request.method = QStringLiteral("GET");
    request.headers = APIRequest::jsonHeaders();
    send(request);
    EXPECT_FALSE(transport.last().body.has_value());
    EXPECT_FALSE(log.mentions(QStringLiteral("请求参数")));
}

TEST_F(APIClientTest, MultipartReplacesTheContentType)
{
    APIRequest request = jsonPost();
    request.multipartData = QByteArray("--B\r\n");
    request.multipartFormBoundary = QStringLiteral("B");
    send(request);
    const HttpRequest& sent = transport.last();
    int contentTypes = 0;
    for (const HttpHeader& header : sent.headers)
        contentTypes += header.first.compare("Content-Type", Qt::CaseInsensitive) == 0 ? 1 : 0;
    EXPECT_EQ(contentTypes, 1);
    EXPECT_EQ(FakeHttpTransport::header(sent, "Content-Type"), QByteArray("multipart/form-data; boundary=B"));
    EXPECT_EQ(sent.body, QByteArray("--B\r\n"));
    EXPECT_TRUE(log.mentions(QStringLiteral("\n请求体: [multipart form data]")));
    EXPECT_FALSE(log.mentions(QStringLiteral("请求参数")));
}

TEST_F(APIClientTest, UnparsableUrlFailsOnTheNextTurnWithoutATask)
{
    APIRequest request = jsonPost();
    request.url = QStringLiteral("not a url");
    EXPECT_EQ(send(request), nullptr);
    EXPECT_EQ(transport.count(), 0);
    EXPECT_FALSE(outcome.has_value()); // never re-entrant
    scheduler.runDue();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->error().kind, APIClientError::Kind::InvalidURL);
    EXPECT_TRUE(log.mentions(QStringLiteral("API请求失败: 无效的URL - not a url")));
}

TEST_F(APIClientTest, AnyStatusWithAnEnvelopeIsAnEnvelope)
{
    send(jsonPost());
    transport.respond(0, FakeHttpTransport::bodyResponse(R"({"code":7,"msg":"busy"})", 500));
    ASSERT_TRUE(outcome && outcome->ok());
    EXPECT_EQ(outcome->value().code, 7);
    EXPECT_TRUE(log.mentions(QStringLiteral("API响应: POST https://api.example.test/qasr/adjust\n状态码: 500\n响应数据: "
                                            "{\"code\":7,\"msg\":\"busy\"}")));
}

TEST_F(APIClientTest, CodeAndMessageBodyBecomesAServerError)
{
    send(jsonPost());
    transport.respondBody(R"({"code":42,"msg":["x"],"message":"quota"})");
    ASSERT_TRUE(outcome && !outcome->ok());
    EXPECT_EQ(outcome->error().kind, APIClientError::Kind::Response);
    EXPECT_EQ(outcome->error().response.code, 42);
    EXPECT_EQ(outcome->error().response.message, QStringLiteral("quota"));
    EXPECT_TRUE(log.mentions(QStringLiteral("解析响应失败: ")));
    EXPECT_FALSE(log.mentions(QStringLiteral("解析失败的JSON数据")));
}

TEST_F(APIClientTest, UndecodableBodyGivesTheFirstDecodingError)
{
    send(jsonPost());
    transport.respondBody(R"({"code": "x"})");
    ASSERT_TRUE(outcome && !outcome->ok());
    EXPECT_EQ(outcome->error().kind, APIClientError::Kind::Decoding);
    EXPECT_EQ(outcome->error().decoding.kind, DecodingError::Kind::TypeMismatch);
    EXPECT_TRUE(log.mentions(QStringLiteral("解析失败的JSON数据: {\"code\": \"x\"}")));
}

TEST_F(APIClientTest, TransportFailuresAndEmptyAnswers)
{
    send(jsonPost());
    transport.respondError(TransportErrorKind::TimedOut, QStringLiteral("The request timed out."));
    ASSERT_TRUE(outcome && !outcome->ok());
    EXPECT_TRUE(outcome->error().isTimeout());
    EXPECT_TRUE(log.mentions(QStringLiteral("\n错误: The request timed out.")));

    send(jsonPost());
    transport.respond(1, FakeHttpTransport::bodyResponse(QByteArray(), 204));
    EXPECT_EQ(outcome->error().kind, APIClientError::Kind::NoData);
    EXPECT_TRUE(log.mentions(QStringLiteral("状态码: 204\n错误: 无数据返回")));
}

TEST_F(APIClientTest, CancelledRequestNeverCompletes)
{
    auto task = send(jsonPost());
    task->cancel();
    EXPECT_TRUE(transport.isCancelled(0));
    transport.respondBody(R"({"code":0})");
    EXPECT_FALSE(outcome.has_value());
}

TEST_F(APIClientTest, EndpointJoinsBaseAndPathOnce)
{
    APIClient slashed(transport, settings, scheduler, log.logger(), log.redactor(),
                      QUrl(QStringLiteral("http://127.0.0.1:8080/api/")), std::chrono::milliseconds(250));
    EXPECT_EQ(slashed.endpoint(QStringLiteral("/auth/mev2")), QStringLiteral("http://127.0.0.1:8080/api/auth/mev2"));
    slashed.send(jsonPost(), [](auto) {});
    EXPECT_EQ(transport.last().timeout, std::chrono::milliseconds(250));
}

} // namespace
} // namespace velnor
