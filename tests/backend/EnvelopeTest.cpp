#include "backend/APIResponse.h"
#include "backend/AuthTypes.h"
#include "backend/HotwordTypes.h"
#include "backend/QASRCodecs.h"
#include "support/LogCapture.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace velnor {
namespace {

QVariant decodeValue(const char* json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray("[") + json + "]");
    auto decoded = AnyDecodable::decode(doc.array().at(0));
    EXPECT_TRUE(decoded.ok()) << json;
    return decoded ? decoded.value().value() : QVariant();
}

TEST(AnyDecodable, TriesNullBoolIntegerDoubleStringArrayObjectInThatOrder)
{
    EXPECT_TRUE(AnyDecodable::isNull(decodeValue("null")));
    EXPECT_EQ(decodeValue("true").typeId(), QMetaType::Bool);
    // A number is never a boolean, and an integral number is an integer.
    EXPECT_EQ(decodeValue("1").typeId(), QMetaType::LongLong);
    EXPECT_EQ(decodeValue("0").typeId(), QMetaType::LongLong);
    EXPECT_EQ(decodeValue("-7").toLongLong(), -7);
    EXPECT_EQ(decodeValue("9007199254740993").toLongLong(), 9007199254740993LL);
    EXPECT_EQ(decodeValue("1.5").typeId(), QMetaType::Double);
    EXPECT_EQ(decodeValue("\"1\"").typeId(), QMetaType::QString);

    const QVariant list = decodeValue("[1, \"a\", null, {\"k\": false}]");
    ASSERT_EQ(list.typeId(), QMetaType::QVariantList);
    EXPECT_EQ(list.toList().at(0).typeId(), QMetaType::LongLong);
    EXPECT_TRUE(AnyDecodable::isNull(list.toList().at(2)));
    EXPECT_EQ(list.toList().at(3).toMap().value(QStringLiteral("k")).typeId(), QMetaType::Bool);
}

TEST(Envelope, OnlyCodeIsRequired)
{
    auto minimal = APIResponse::decode(R"({"code": 401, "message": "token expired"})");
    ASSERT_TRUE(minimal.ok());
    EXPECT_EQ(minimal.value().code, 401);
    EXPECT_FALSE(minimal.value().msg.has_value());
    EXPECT_FALSE(minimal.value().data.has_value());

    auto full = APIResponse::decode(R"({"code": 0, "msg": "ok", "data": {"id": "r1"}})");
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full.value().msg, QStringLiteral("ok"));
    ASSERT_TRUE(full.value().data.has_value());

    auto nullData = APIResponse::decode(R"({"code": 0, "data": null})");
    ASSERT_TRUE(nullData.ok());
    EXPECT_FALSE(nullData.value().data.has_value());
}

TEST(Envelope, RejectsBodiesThatAreNotEnvelopes)
{
    EXPECT_EQ(APIResponse::decode(R"({"code": "x"})").error().kind, DecodingError::Kind::TypeMismatch);
    EXPECT_EQ(APIResponse::decode(R"({"msg": "no code"})").error().kind, DecodingError::Kind::KeyNotFound);
    EXPECT_EQ(APIResponse::decode(R"({"code": null})").error().kind, DecodingError::Kind::ValueNotFound);
    EXPECT_EQ(APIResponse::decode(R"({"code": 1.5})").error().kind, DecodingError::Kind::TypeMismatch);
    EXPECT_EQ(APIResponse::decode(R"({"code": 0, "msg": 5})").error().kind, DecodingError::Kind::TypeMismatch);
    EXPECT_EQ(APIResponse::decode("<html>bad gateway</html>").error().kind, DecodingError::Kind::DataCorrupted);
    EXPECT_FALSE(APIResponse::decode(R"([{"code": 0}])").ok());
    EXPECT_FALSE(APIResponse::decode(R"({"code": 99999999999})").ok());
    EXPECT_FALSE(APIResponse::decode("").ok());
}

class TypedData : public ::testing::Test {
protected:
    APIResponse envelope(const char* json)
    {
        auto decoded = APIResponse::decode(json);
        EXPECT_TRUE(decoded.ok()) << json;
        return decoded.value();
    }
    test::LogCapture log;
};

TEST_F(TypedData, BooleanComesOnlyFromABoolean)
{
    EXPECT_EQ(envelope(R"({"code":0,"data":true})").typedData<bool>(log.logger()), true);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("简单类型转换成功: true")));

    EXPECT_FALSE(envelope(R"({"code":0,"data":1})").typedData<bool>(log.logger()).has_value());
    EXPECT_FALSE(envelope(R"({"code":0,"data":{"ok":true}})").typedData<bool>(log.logger()).has_value());
    EXPECT_TRUE(log.mentions(QStringLiteral("数据类型转换失败: ")));
}

TEST_F(TypedData, RecordsAreReadByTheirKeys)
{
    auto adjusted = envelope(R"({"code":0,"data":{"id":"r1","text":"你好","extra":[1]}})")
                        .typedData<AdjustTextResponse>(log.logger());
    ASSERT_TRUE(adjusted.has_value());
    EXPECT_EQ(adjusted->id, QStringLiteral("r1"));
    EXPECT_EQ(adjusted->text, QStringLiteral("你好"));
    EXPECT_FALSE(adjusted->message.has_value());
    EXPECT_TRUE(log.mentions(
        QStringLiteral("JSON转换成功: AdjustTextResponse(id: Optional(\"r1\"), text: Optional(\"你好\"), message: nil)")));

    // A present value of the wrong type fails the whole record.
    EXPECT_FALSE(envelope(R"({"code":0,"data":{"text":5}})").typedData<AdjustTextResponse>(log.logger()).has_value());
    // A bare string is not a record and is not written as JSON again.
    EXPECT_FALSE(envelope(R"({"code":0,"data":"text"})").typedData<AdjustTextResponse>(log.logger()).has_value());
    EXPECT_TRUE(log.mentions(QStringLiteral("数据无法序列化为JSON: \"text\"")));
}

TEST_F(TypedData, ResultAccessorGivesEmptyListsButUnknownErrorForRecords)
{
    auto list = envelope(R"({"code":0,"data":null})").result<QList<Hotword>>(log.logger());
    ASSERT_TRUE(list.ok());
    EXPECT_TRUE(list.value().isEmpty());
    auto unreadable = envelope(R"({"code":0,"data":{"text":"a"}})").result<QList<Hotword>>(log.logger());
    ASSERT_TRUE(unreadable.ok());
    EXPECT_TRUE(unreadable.value().isEmpty());

    auto record = envelope(R"({"code":0,"data":null})").result<AdjustTextResponse>(log.logger());
    ASSERT_FALSE(record.ok());
    EXPECT_EQ(record.error().kind, APIResponseError::Kind::UnknownError);

    auto server = envelope(R"({"code":500})").result<AdjustTextResponse>(log.logger());
    ASSERT_FALSE(server.ok());
    EXPECT_EQ(server.error().kind, APIResponseError::Kind::ServerError);
    EXPECT_EQ(server.error().code, 500);
    EXPECT_EQ(server.error().message, QStringLiteral("Unknown error"));
}

TEST_F(TypedData, UserRecordWithNestedObjects)
{
    auto user = envelope(R"({"code":0,"data":{"id":"u1","nick":"Lu","phone":"13800138000",
        "vip2":{"startTime":"2026-01-01","endTime":"2026-12-31T00:00:00Z","status":"Active"},
        "urls":["a","b"],"generate_words_total":12345,"invite":{"code":"INV1","total_invites":3}}})")
                    .typedData<User>(log.logger());
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->nickname, QStringLiteral("Lu"));
    ASSERT_TRUE(user->vip2.has_value());
    EXPECT_EQ(user->vip2->status, QStringLiteral("Active"));
    EXPECT_EQ(user->urls, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(user->generatewordsTotal, 12345u);
    EXPECT_EQ(user->invite->totalInvites, 3u);

    EXPECT_FALSE(envelope(R"({"code":0,"data":{"vip2":{"status":1}}})").typedData<User>(log.logger()).has_value());
    EXPECT_FALSE(
        envelope(R"({"code":0,"data":{"generate_words_total":-1}})").typedData<User>(log.logger()).has_value());
}

} // namespace
} // namespace velnor
