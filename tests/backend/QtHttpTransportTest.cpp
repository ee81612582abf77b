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

    // Sends `request` and waits for its completion.
    bool exchange(HttpRequest request)
    {
        response.reset();
        transport.start(std::move(request), [this](HttpResponse r) { response = std::move(r); });
        return waitUntil([&] { return response.has_value(); });
    }

    CannedHttpServer server;
    QNetworkAccessManager manager;
    QtHttpTransport transport{manager};
    std::optional<HttpResponse> response;
};

// A whole envelope that is only the start of the announced body must not pass
// for the answer, nor a half one for an undecodable answer. (A dropped
// connection, a closed port and a silent peer are proven on a real server by
// BackendIntegrationTest.ServerFaultsMapToTheServiceDomains.)
// A cancelled transfer never completes; one started on another thread
// completes on the manager's; a redirect never leaves the origin; a
// connection cut mid-body is a transport error.
TEST_F(QtHttpTransportTest, TransfersCompleteOnTheManagersThreadUnlessCancelledStayInTheOriginAndFailWhenCut)
{
    // No answer set: the server stays silent.
    auto task = transport.start(post(std::chrono::milliseconds(200)), [this](HttpResponse r) { response = std::move(r); });
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 1; }));
    task->cancel();
    test::runEventLoopFor(400); // past the timeout, which would otherwise complete it
    EXPECT_FALSE(response.has_value());

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

    CannedHttpServer elsewhere;
    elsewhere.setAnswer(200, R"({"code":0})");
    server.setRedirect(elsewhere.baseUrl() + QStringLiteral("/collect"));
    ASSERT_TRUE(exchange(post()));
    test::runEventLoopFor(100);
    EXPECT_TRUE(elsewhere.requests().isEmpty()) << "the request and its token went to another origin";
    EXPECT_NE(response->statusCode, 200);

    // A cap of 0 keeps the default; only a cap says "too large".
    for (const auto& [body, announced, maxResponseBytes] : {
             std::tuple<QByteArray, qsizetype, qsizetype>{R"({"code":0,"data":true})", 120, 0}, // a cut whole envelope
             {R"({"code":0,"da)", 120, 0},                                                     // a cut half one
             {QByteArray(64 * 1024, ' ') + R"({"code":0})", -1, 8 * 1024},
         }) {
        SCOPED_TRACE(body.left(20).toStdString());
        server.setAnswer(200, body, announced);
        HttpRequest request = post();
        if (maxResponseBytes > 0)
            request.maxResponseBytes = maxResponseBytes;
        ASSERT_TRUE(exchange(request));
        ASSERT_TRUE(response->error.has_value());
        EXPECT_EQ(response->error->kind, TransportErrorKind::Other);
        EXPECT_FALSE(response->body.has_value());
        EXPECT_EQ(response->error->description == QStringLiteral("The answer is too large."), maxResponseBytes > 0)
            << response->error->description.toStdString();
    }
}

} // namespace
} // namespace velnor
