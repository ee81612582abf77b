#include "backend/QtHttpTransport.h"
#include "backend/support/CannedHttpServer.h"
#include "support/EventLoopWait.h"

#include <QNetworkAccessManager>
#include <QThread>

#include <gtest/gtest.h>

namespace velnor {
namespace {

using test::CannedHttpServer;
using test::waitUntil;

class QtHttpTransportTest : public ::testing::Test {
protected:
    HttpRequest post(Duration timeout = std::chrono::seconds(10))
    {
        HttpRequest request;
        request.url = QUrl(server.baseUrl() + QStringLiteral("/qasr/adjust"));
        request.method = "POST";
        request.headers = {{"Content-Type", "application/json"}, {"Authorization", "Bearer abc"}};
        request.body = QByteArray(R"({"base64_text":"aGk="})");
        request.timeout = timeout;
        return request;
    }

    TaskHandlePtr start(HttpRequest request)
    {
        return transport.start(std::move(request), [this](HttpResponse r) { response = std::move(r); });
    }

    CannedHttpServer server;
    QNetworkAccessManager manager;
    QtHttpTransport transport{manager};
    std::optional<HttpResponse> response;
};

TEST_F(QtHttpTransportTest, SendsTheRequestAndTakesAnyStatusAsAnAnswer)
{
    server.setAnswer(500, R"({"code":500,"msg":"boom"})");
    start(post());
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    EXPECT_FALSE(response->error.has_value());
    EXPECT_EQ(response->statusCode, 500);
    EXPECT_EQ(response->body, QByteArray(R"({"code":500,"msg":"boom"})"));

    ASSERT_EQ(server.requests().size(), 1);
    const QByteArray& raw = server.requests().first();
    EXPECT_TRUE(raw.startsWith("POST /qasr/adjust HTTP/1.1\r\n"));
    EXPECT_TRUE(raw.contains("\r\nAuthorization: Bearer abc\r\n"));
    EXPECT_TRUE(raw.contains("\r\nContent-Type: application/json\r\n"));
    EXPECT_TRUE(raw.endsWith("\r\n\r\n{\"base64_text\":\"aGk=\"}"));
}

TEST_F(QtHttpTransportTest, EmptyAnswerIsStillAnAnswer)
{
    server.setAnswer(200, QByteArray());
    start(post());
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    EXPECT_EQ(response->statusCode, 200);
    EXPECT_FALSE(response->body.has_value());
}

TEST_F(QtHttpTransportTest, ConnectionCutMidBodyIsATransportError)
{
    // A whole envelope that is only the start of the announced body must not
    // pass for the answer, nor a half one for an undecodable answer.
    for (const QByteArray& sent : {QByteArray(R"({"code":0,"data":true})"), QByteArray(R"({"code":0,"da)")}) {
        SCOPED_TRACE(sent.toStdString());
        server.setCutAnswer(200, sent, sent.size() + 100);
        response.reset();
        start(post());
        ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
        ASSERT_TRUE(response->error.has_value());
        EXPECT_EQ(response->error->kind, TransportErrorKind::Other);
        EXPECT_FALSE(response->body.has_value());
    }
}

TEST_F(QtHttpTransportTest, FollowsRedirectsOnlyWithinTheOrigin)
{
    CannedHttpServer elsewhere;
    elsewhere.setAnswer(200, R"({"code":0})");
    server.setRedirect(elsewhere.baseUrl() + QStringLiteral("/collect"));
    start(post());
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    test::runEventLoopFor(100);
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "the request and its token went to another origin";
    EXPECT_NE(response->statusCode, 200);
}

TEST_F(QtHttpTransportTest, OversizedAnswerIsCutOff)
{
    server.setAnswer(200, QByteArray(64 * 1024, ' ') + R"({"code":0})");
    HttpRequest request = post();
    request.maxResponseBytes = 8 * 1024;
    start(request);
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    ASSERT_TRUE(response->error.has_value());
    EXPECT_EQ(response->error->description, QStringLiteral("The answer is too large."));
    EXPECT_FALSE(response->body.has_value());
}

TEST_F(QtHttpTransportTest, SilentServerTimesOut)
{
    server.setMode(CannedHttpServer::Mode::Silent);
    start(post(std::chrono::milliseconds(300)));
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    ASSERT_TRUE(response->error.has_value());
    EXPECT_EQ(response->error->kind, TransportErrorKind::TimedOut);
    EXPECT_FALSE(response->statusCode.has_value());
}

TEST_F(QtHttpTransportTest, DroppedOrRefusedConnectionsAreOtherErrors)
{
    server.setMode(CannedHttpServer::Mode::Drop);
    start(post());
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    ASSERT_TRUE(response->error.has_value());
    EXPECT_EQ(response->error->kind, TransportErrorKind::Other);
    EXPECT_FALSE(response->error->description.isEmpty());

    response.reset();
    HttpRequest refused = post();
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 closedPort = probe.serverPort();
    probe.close();
    refused.url.setPort(closedPort);
    start(refused);
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    EXPECT_EQ(response->error->kind, TransportErrorKind::Other);
}

TEST_F(QtHttpTransportTest, CancelledTransferNeverCompletes)
{
    server.setMode(CannedHttpServer::Mode::Silent);
    auto task = start(post(std::chrono::milliseconds(200)));
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 1; }));
    task->cancel();
    test::runEventLoopFor(400); // past the timeout, which would otherwise complete it
    EXPECT_FALSE(response.has_value());
}

TEST_F(QtHttpTransportTest, StartFromAnotherThreadRunsOnTheManagersThread)
{
    server.setAnswer(200, R"({"code":0})");
    QThread* completionThread = nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        transport.start(post(), [&](HttpResponse r) {
            completionThread = QThread::currentThread();
            response = std::move(r);
        });
    }));
    worker->start();
    worker->wait();
    ASSERT_TRUE(waitUntil([&] { return response.has_value(); }));
    EXPECT_EQ(completionThread, manager.thread());
    EXPECT_EQ(response->statusCode, 200);
}

} // namespace
} // namespace velnor
