#include "backend/AdjustTextService.h"
#include "backend/support/ClientFixture.h"

namespace velnor {
namespace {

class AdjustTextServiceTest : public test::ClientFixture {
protected:
    TaskHandlePtr adjust(const QString& text, AdjustTextParams params = {})
    {
        params.text = text;
        return service.adjustText(params, into(outcome));
    }

    AdjustTextService service{client, scheduler, log.logger()};
    std::optional<Result<AdjustTextResponse, ServiceError>> outcome;
};

TEST_F(AdjustTextServiceTest, SendsOnlyTheKeysThatArePresent)
{
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
}

TEST_F(AdjustTextServiceTest, CorrectionAndEachFailureInItsDomain)
{
    adjust(QStringLiteral("hi"));
    transport.respondBody(R"({"code":0,"msg":"ok","data":{"id":"rec-1","text":"Hi."}})");
    ASSERT_TRUE(outcome && outcome->ok());
    EXPECT_EQ(outcome->value().id, QStringLiteral("rec-1"));
    EXPECT_EQ(outcome->value().text, QStringLiteral("Hi."));

    struct Case {
        test::Reply reply;
        const char* error;
    };
    for (const Case& c : {
             // A success without data is the unknown error.
             Case{{R"({"code":0,"data":null})"}, R"(Error Domain=APIResponseError Code=2 "未知错误")"},
             Case{{R"({"code":500})"}, R"(Error Domain=AdjustTextServiceErrorDomain Code=500 "文本校对API错误: Unknown error")"},
             Case{{}, R"(Error Domain=AdjustTextServiceNetworkErrorDomain Code=-1 "文本校对网络请求失败: Connection refused")"},
             Case{{nullptr, TransportErrorKind::TimedOut}, R"(Error Domain=AdjustTextServiceTimeoutErrorDomain Code=-1001 "文本校对请求超时")"},
             Case{{R"({"code":429,"msg":"too many"})"}, R"(Error Domain=AdjustTextServiceErrorDomain Code=429 "文本校对API错误: too many")"},
         }) {
        SCOPED_TRACE(c.error);
        adjust(QStringLiteral("hi"));
        reply(c.reply);
        EXPECT_EQ(test::outcomeText(outcome), c.error);
        if (!c.reply.body) {
            EXPECT_EQ(outcome->error().failureReason.isEmpty(), c.reply.failure != TransportErrorKind::TimedOut);
            EXPECT_EQ(outcome->error().recoverySuggestion.isEmpty(), c.reply.failure != TransportErrorKind::TimedOut);
        }
    }
    EXPECT_EQ(outcome->error().userInfo.value(QStringLiteral("APIErrorCode")).toInt(), 429);
    for (const char* line : {"[AdjustText] 文本校对成功: 'Hi.'", "[AdjustText] API错误: unknownError", "[AdjustText] 网络请求失败: "})
        EXPECT_TRUE(log.mentions(QString::fromUtf8(line))) << line;
}

TEST_F(AdjustTextServiceTest, TextWithoutAUtf8FormIsRefusedWithoutARequest)
{
    QString broken = QStringLiteral("ab");
    broken.insert(1, QChar(0xD83D)); // a lone high surrogate
    EXPECT_EQ(adjust(broken), nullptr);
    EXPECT_EQ(transport.count(), 0);
    EXPECT_FALSE(outcome.has_value());
    scheduler.runDue();
    EXPECT_EQ(test::outcomeText(outcome), R"(Error Domain=AdjustTextServiceErrorDomain Code=-1 "文本编码失败")");

    EXPECT_TRUE(isEncodableAsUtf8(QStringLiteral("emoji 😀 ok")));
    EXPECT_FALSE(isEncodableAsUtf8(QString(QChar(0xDC00))));
}

} // namespace
} // namespace velnor
