#include "backend/UpdateChecker.h"
#include "backend/support/FakeHttpTransport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

using test::FakeHttpTransport;

const QByteArray kUpdate = R"({"code":0,"msg":"ok","data":{"is_need_update":true,"focus_update":false,
    "update_url":"http://127.0.0.1/velnor-0.2.tar.gz","update_desc":"Fixes","update_version":"0.2.0"}})";

TEST(UpdateCheckerTest, OneRequestAtATimeWithoutTheTokenAndFailuresOnlyPrint)
{
    test::LogCapture log;
    FakeHttpTransport transport;
    UpdateChecker checker{transport, QUrl(QStringLiteral("http://127.0.0.1:18470")), QStringLiteral("0.1.0+dev 1"),
                          QStringLiteral("linux"), log.printSink()};
    checker.checkForUpdates();
    checker.checkForUpdates();
    ASSERT_EQ(transport.count(), 1);
    EXPECT_TRUE(checker.isCheckingUpdate());
    const HttpRequest& sent = transport.last();
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.url.path(), QStringLiteral("/app/check"));
    EXPECT_EQ(sent.url.query(QUrl::FullyEncoded), QStringLiteral("current_version=0.1.0%2Bdev%201&platform=linux"));
    EXPECT_FALSE(FakeHttpTransport::header(sent, "Authorization").has_value());
    EXPECT_EQ(FakeHttpTransport::header(sent, "Content-Type"), QByteArray("application/json"));
    EXPECT_FALSE(sent.body.has_value());

    transport.respondBody(kUpdate);
    EXPECT_FALSE(checker.isCheckingUpdate());
    EXPECT_TRUE(checker.updateAvailable());
    ASSERT_TRUE(checker.updateInfo().has_value());
    EXPECT_EQ(checker.updateInfo()->update_version, QStringLiteral("0.2.0"));

    // Later failures only print and change nothing.
    for (const auto& [answer, printed] : {
             std::pair<const char*, const char*>{R"({"code":0,"data":{"is_need_update":false,"focus_update":false,"update_url":"u","update_version":"9"}})",
                                                 "Failed to decode update response: keyNotFound"},
             {R"({"code":3,"msg":"unknown platform","data":{"is_need_update":false,"focus_update":false,"update_url":"",
                 "update_desc":"","update_version":""}})", "Update check API error: unknown platform"},
             {R"({"code":0,"data":{}})", "Failed to decode update response: "},
             {nullptr, "Update check failed: Connection refused"},
             {"", "No data received from update check"}}) {
        checker.checkForUpdates();
        if (answer)
            transport.respond(transport.count() - 1, FakeHttpTransport::bodyResponse(answer));
        else
            transport.respondError(TransportErrorKind::Other);
        EXPECT_TRUE(log.printed().last().startsWith(QString::fromUtf8(printed))) << printed;
    }
    EXPECT_EQ(log.printed().size(), 5);
    EXPECT_EQ(transport.count(), 6);
    EXPECT_TRUE(checker.updateAvailable());
    EXPECT_EQ(checker.updateInfo()->update_version, QStringLiteral("0.2.0"));
    EXPECT_FALSE(checker.isCheckingUpdate());
}

} // namespace
} // namespace velnor
