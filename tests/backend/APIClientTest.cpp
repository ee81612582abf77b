#include "backend/support/ClientFixture.h"

namespace velnor {
namespace {

using test::FakeHttpTransport;

class APIClientTest : public test::ClientFixture {
protected:
    static APIRequest jsonPost(const APIClient& to)
    {
        APIRequest request;
        request.url = to.endpoint(QStringLiteral("/qasr/adjust"));
        request.method = QStringLiteral("POST");
        request.headers = APIRequest::jsonHeaders();
        request.parameters = QJsonObject{{QStringLiteral("base64_text"), QStringLiteral("aGk=")}};
        return request;
    }

    TaskHandlePtr send(const APIRequest& request) { return client.send(request, into(outcome)); }
    TaskHandlePtr send() { return send(jsonPost(client)); }

    // The Authorization header of the last request, if it has one.
    std::optional<QByteArray> authorization() const { return FakeHttpTransport::header(transport.last(), "Authorization"); }

    std::optional<Result<APIResponse, APIClientError>> outcome;
};

TEST_F(APIClientTest, JsonRequestCarriesTokenContentTypeBodyAndTimeoutNoLogLineHoldsTheTokenAndACancelledOneNeverCompletes)
{
    signIn(QStringLiteral("eyJhbGciOiJIUzI1NiJ9.secret-part.signature"));
    ASSERT_NE(send(), nullptr);
    ASSERT_EQ(transport.count(), 1);
    const HttpRequest& sent = transport.last();
    EXPECT_EQ(sent.url.toString(), QStringLiteral("https://api.example.test/qasr/adjust"));
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.timeout, std::chrono::seconds(60));
    EXPECT_EQ(authorization(), QByteArray("Bearer eyJhbGciOiJIUzI1NiJ9.secret-part.signature"));
    EXPECT_EQ(FakeHttpTransport::header(sent, "Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("base64_text"), QStringLiteral("aGk=")}}));
    transport.respondBody(R"({"code":0,"data":{"token":"eyJhbGciOiJIUzI1NiJ9.new-token.sig","phone":"1"}})");
    EXPECT_TRUE(log.mentions(QStringLiteral("API请求: POST https://api.example.test/qasr/adjust\n请求头: "
                                            "[\"Content-Type\": \"application/json\"]\n请求参数: "
                                            "{\"base64_text\":\"aGk=\"}")));
    EXPECT_TRUE(log.mentions(QStringLiteral("Request Header:")));
    EXPECT_TRUE(log.mentions(QStringLiteral("\"Authorization\": \"Bearer <redacted>\"")));
    EXPECT_FALSE(log.mentions(QStringLiteral("secret-part")));
    EXPECT_FALSE(log.mentions(QStringLiteral("new-token")));

    // A multipart body replaces the JSON type rather than adding a second one.
    APIRequest multipart = jsonPost(client);
    multipart.multipartData = QByteArray("--B\r\n");
    multipart.multipartFormBoundary = QStringLiteral("B");
    auto task = send(multipart);
    const QList<HttpHeader>& headers = transport.last().headers;
    EXPECT_EQ(std::count_if(headers.cbegin(), headers.cend(), [](const HttpHeader& h) { return h.first == "Content-Type"; }), 1);
    EXPECT_EQ(FakeHttpTransport::header(transport.last(), "Content-Type"), QByteArray("multipart/form-data; boundary=B"));

    // A cancelled request never completes.
    task->cancel();
    EXPECT_TRUE(transport.isCancelled(1));
    transport.respondBody(R"({"code":0})");
    EXPECT_FALSE(outcome.has_value());
}

// The token is read at each request: none sends no header, an empty one an
// empty bearer, and a damaged one none (the call still goes out, signed out).
TEST_F(APIClientTest, TokenWithControlCharactersNeverReachesAHeader)
{
    send();
    EXPECT_FALSE(authorization().has_value());
    signIn(QString());
    send();
    EXPECT_EQ(authorization(), QByteArray("Bearer "));
    for (const QString& damaged : {QStringLiteral("tok\r\nX-Injected: 1"), QStringLiteral("tok\nX: 1"),
                                   QStringLiteral("tok\u0000"), QStringLiteral("tok\u007F"), QStringLiteral("tok\u0085")}) {
        signIn(damaged);
        ASSERT_NE(send(), nullptr);
        for (const HttpHeader& header : transport.last().headers) {
            EXPECT_NE(header.first, QByteArray("Authorization"));
            EXPECT_FALSE(header.second.contains("tok"));
        }
    }
    EXPECT_TRUE(log.mentions(QStringLiteral("会话令牌含有控制字符，请求不携带令牌")));
}

TEST_F(APIClientTest, EndpointsJoinBaseAndPathOnceAndAnUnparsableOneFailsOnTheNextTurnWithoutATask)
{
    APIRequest request = jsonPost(client);
    request.url = QStringLiteral("not a url");
    EXPECT_EQ(send(request), nullptr);
    EXPECT_EQ(transport.count(), 0);
    EXPECT_FALSE(outcome.has_value()); // never re-entrant
    scheduler.runDue();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->error().kind, APIClientError::Kind::InvalidURL);
    EXPECT_TRUE(log.mentions(QStringLiteral("API请求失败: 无效的URL - not a url")));

    // A valid endpoint joins base and path once.
    APIClient slashed(transport, settings, scheduler, log.logger(), log.redactor(),
                      QUrl(QStringLiteral("http://127.0.0.1:8080/api/")), std::chrono::milliseconds(250));
    EXPECT_EQ(slashed.endpoint(QStringLiteral("/auth/mev2")), QStringLiteral("http://127.0.0.1:8080/api/auth/mev2"));
    slashed.send(jsonPost(slashed), [](auto) {});
    EXPECT_EQ(transport.last().timeout, std::chrono::milliseconds(250));
}

// Any status with an envelope is an envelope; otherwise the first fitting error.
TEST_F(APIClientTest, AnswersBecomeEnvelopesOrTheirError)
{
    HttpResponse timedOut;
    timedOut.error = TransportError{TransportErrorKind::TimedOut, 99, QStringLiteral("The request timed out.")};
    struct Case {
        HttpResponse response;
        const char* result;
        const char* logged;
    };
    for (const Case& c : {
             Case{FakeHttpTransport::bodyResponse(R"({"code":7,"msg":"busy"})", 500), "ok",
                  "API响应: POST https://api.example.test/qasr/adjust\n状态码: 500\n响应数据: {\"code\":7,\"msg\":\"busy\"}"},
             Case{FakeHttpTransport::bodyResponse(R"({"code":42,"msg":["x"],"message":"quota"})"),
                  R"(serverError(message: "quota", code: 42))", "解析响应失败: "},
             Case{FakeHttpTransport::bodyResponse(R"({"code": "x"})"),
                  R"(typeMismatch(codingPath: "code", debugDescription: "Expected to decode Int but found another value."))",
                  "解析失败的JSON数据: {\"code\": \"x\"}"},
             Case{FakeHttpTransport::bodyResponse(QByteArray(), 204), "noData", "状态码: 204\n错误: 无数据返回"},
             Case{timedOut, R"(Error Domain=NetworkTransport Code=99 "The request timed out.")", "\n错误: The request timed out."},
         }) {
        SCOPED_TRACE(c.logged);
        send();
        transport.respond(transport.count() - 1, c.response);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->ok() ? "ok" : outcome->error().printed().toStdString(), c.result);
        EXPECT_TRUE(log.mentions(QString::fromUtf8(c.logged)));
    }
    EXPECT_TRUE(outcome->error().isTimeout());
    EXPECT_EQ(log.count(QStringLiteral("解析失败的JSON数据")), 1) << "only the undecodable body is logged whole";
}

} // namespace
} // namespace velnor
