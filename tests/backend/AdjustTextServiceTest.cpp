#include "backend/AdjustTextService.h"
#include "backend/support/ClientFixture.h"

namespace velnor {
namespace {

using Outcome = std::optional<Result<AdjustTextResponse, ServiceError>>;

AdjustTextParams textOnly(const QString& text)
{
    AdjustTextParams params;
    params.text = text;
    return params;
}

class AdjustTextServiceTest : public test::ClientFixture {
protected:
    TaskHandlePtr adjust(AdjustTextParams params)
    {
        return service.adjustText(params, [this](Result<AdjustTextResponse, ServiceError> r) { outcome = r; });
    }
    const ServiceError& error() const { return outcome->error(); }

    AdjustTextService service{client, scheduler, log.logger()};
    Outcome outcome;
};

TEST_F(AdjustTextServiceTest, SendsOnlyTheKeysThatArePresent)
{
    // The text travels as the base64 of its UTF-8.
    adjust({QStringLiteral("你好世界"), std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(jsonBody(0), (QJsonObject{{QStringLiteral("base64_text"), QStringLiteral("5L2g5aW95LiW55WM")}}));
    EXPECT_EQ(transport.last().url.path(), QStringLiteral("/qasr/adjust"));

    adjust({QString(), QStringLiteral("org.example.Editor"), QString(), QStringLiteral("linux"), QStringLiteral("en")});
    EXPECT_EQ(jsonBody(1), (QJsonObject{{QStringLiteral("base64_text"), QString()},
                                        {QStringLiteral("app_id"), QStringLiteral("org.example.Editor")},
                                        {QStringLiteral("app_name"), QString()},
                                        {QStringLiteral("os_type"), QStringLiteral("linux")},
                                        {QStringLiteral("out_language"), QStringLiteral("en")}}));
}

TEST_F(AdjustTextServiceTest, CorrectionUnknownErrorAndEnvelopeCodes)
{
    adjust(textOnly(QStringLiteral("hi")));
    transport.respondBody(R"({"code":0,"msg":"ok","data":{"id":"rec-1","text":"Hi."}})");
    ASSERT_TRUE(outcome && outcome->ok());
    EXPECT_EQ(outcome->value().id, QStringLiteral("rec-1"));
    EXPECT_EQ(outcome->value().text, QStringLiteral("Hi."));
    EXPECT_TRUE(log.mentions(QStringLiteral("[AdjustText] 文本校对成功: 'Hi.'")));

    // A success without data is the unknown error.
    adjust(textOnly(QStringLiteral("hi")));
    transport.respondBody(R"({"code":0,"data":null})");
    ASSERT_TRUE(outcome && !outcome->ok());
    EXPECT_EQ(error().domain, kAPIResponseErrorDomain);
    EXPECT_EQ(error().code, 2);
    EXPECT_EQ(error().description, QStringLiteral("未知错误"));
    EXPECT_TRUE(log.mentions(QStringLiteral("[AdjustText] API错误: unknownError")));

    // An envelope code becomes the service's own domain.
    adjust(textOnly(QStringLiteral("hi")));
    transport.respondBody(R"({"code":429,"msg":"too many"})");
    ASSERT_TRUE(outcome && !outcome->ok());
    EXPECT_EQ(error().domain, QStringLiteral("AdjustTextServiceErrorDomain"));
    EXPECT_EQ(error().code, 429);
    EXPECT_EQ(error().description, QStringLiteral("文本校对API错误: too many"));
    EXPECT_EQ(error().userInfo.value(QStringLiteral("APIErrorCode")).toInt(), 429);

    adjust(textOnly(QStringLiteral("hi")));
    transport.respondBody(R"({"code":500})");
    EXPECT_EQ(error().description, QStringLiteral("文本校对API错误: Unknown error"));
}

TEST_F(AdjustTextServiceTest, TimeoutAndOtherFailures)
{
    adjust(textOnly(QStringLiteral("hi")));
    transport.respondError(TransportErrorKind::TimedOut);
    EXPECT_EQ(error().domain, QStringLiteral("AdjustTextServiceTimeoutErrorDomain"));
    EXPECT_EQ(error().code, -1001);
    EXPECT_EQ(error().description, QStringLiteral("文本校对请求超时"));
    EXPECT_EQ(error().failureReason, QStringLiteral("网络连接超时"));
    EXPECT_EQ(error().recoverySuggestion, QStringLiteral("请检查网络连接并重试"));

    adjust(textOnly(QStringLiteral("hi")));
    transport.respondError(TransportErrorKind::Other, QStringLiteral("Connection refused"));
    EXPECT_EQ(error().domain, QStringLiteral("AdjustTextServiceNetworkErrorDomain"));
    EXPECT_EQ(error().code, -1);
    EXPECT_EQ(error().description, QStringLiteral("文本校对网络请求失败: Connection refused"));
    EXPECT_TRUE(log.mentions(QStringLiteral("[AdjustText] 网络请求失败: ")));
}

TEST_F(AdjustTextServiceTest, TextWithoutAUtf8FormIsRefusedWithoutARequest)
{
    QString broken = QStringLiteral("ab");
    broken.insert(1, QChar(0xD83D)); // a lone high surrogate
    EXPECT_EQ(adjust(textOnly(broken)), nullptr);
    EXPECT_EQ(transport.count(), 0);
    EXPECT_FALSE(outcome.has_value());
    scheduler.runDue();
    ASSERT_TRUE(outcome && !outcome->ok());
    EXPECT_EQ(error().domain, QStringLiteral("AdjustTextServiceErrorDomain"));
    EXPECT_EQ(error().code, -1);
    EXPECT_EQ(error().description, QStringLiteral("文本编码失败"));

    EXPECT_TRUE(isEncodableAsUtf8(QStringLiteral("emoji 😀 ok")));
    EXPECT_FALSE(isEncodableAsUtf8(QString(QChar(0xDC00))));
}

} // namespace
} // namespace velnor
