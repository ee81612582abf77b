#include "backend/APIResponse.h"
#include "backend/AuthTypes.h"
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

// Null, bool, integer, double, string, array, object in that order: a number is
// never a boolean, and an integral number is an integer.
TEST(Envelope, ValuesAreTriedNullBoolIntegerDoubleStringArrayObjectInThatOrderAndOnlyEnvelopesDecode)
{
    EXPECT_TRUE(AnyDecodable::isNull(decodeValue("null")));
    for (const auto& [json, type] : {std::pair{"true", QMetaType::Bool}, {"1", QMetaType::LongLong}, {"0", QMetaType::LongLong},
                                     {"1.5", QMetaType::Double}, {"\"1\"", QMetaType::QString}})
        EXPECT_EQ(decodeValue(json).typeId(), type) << json;
    EXPECT_EQ(decodeValue("-7").toLongLong(), -7);
    EXPECT_EQ(decodeValue("9007199254740993").toLongLong(), 9007199254740993LL);

    const QVariantList list = decodeValue("[1, \"a\", null, {\"k\": false}]").toList();
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list.at(0).typeId(), QMetaType::LongLong);
    EXPECT_TRUE(AnyDecodable::isNull(list.at(2)));
    EXPECT_EQ(list.at(3).toMap().value(QStringLiteral("k")).typeId(), QMetaType::Bool);

    // An envelope: only "code" is required; a null "data" is no data.
    auto full = APIResponse::decode(R"({"code": 0, "msg": "ok", "data": {"id": "r1"}})");
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full.value().msg, QStringLiteral("ok"));
    EXPECT_TRUE(full.value().data.has_value());
    for (const char* minimal : {R"({"code": 401, "message": "token expired"})", R"({"code": 401, "data": null})"}) {
        auto decoded = APIResponse::decode(minimal);
        ASSERT_TRUE(decoded.ok()) << minimal;
        EXPECT_EQ(decoded.value().code, 401);
        EXPECT_FALSE(decoded.value().msg.has_value());
        EXPECT_FALSE(decoded.value().data.has_value());
    }

    using Kind = DecodingError::Kind;
    for (const auto& [body, kind] : {std::pair{R"({"code": "x"})", Kind::TypeMismatch}, {R"({"msg": "no code"})", Kind::KeyNotFound},
                                     {R"({"code": null})", Kind::ValueNotFound}, {R"({"code": 1.5})", Kind::TypeMismatch},
                                     {R"({"code": 0, "msg": 5})", Kind::TypeMismatch},
                                     {"<html>bad gateway</html>", Kind::DataCorrupted}})
        EXPECT_EQ(APIResponse::decode(body).error().kind, kind) << body;
    for (const char* body : {R"([{"code": 0}])", R"({"code": 99999999999})", ""})
        EXPECT_FALSE(APIResponse::decode(body).ok()) << body;
}

TEST(TypedData, UserRecordWithNestedObjectsAndABooleanOnlyFromABoolean)
{
    test::LogCapture log;
    const auto asUser = [&](const char* json) { return APIResponse::decode(json).value().typedData<User>(log.logger()); };
    const auto asBool = [&](const char* json) { return APIResponse::decode(json).value().typedData<bool>(log.logger()); };
    auto user = asUser(R"({"code":0,"data":{"id":"u1","nick":"Lu","phone":"13800138000",
        "vip2":{"startTime":"2026-01-01","endTime":"2026-12-31T00:00:00Z","status":"Active"},
        "urls":["a","b"],"generate_words_total":12345,"invite":{"code":"INV1","total_invites":3}}})");
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->nickname, QStringLiteral("Lu"));
    ASSERT_TRUE(user->vip2.has_value());
    EXPECT_EQ(user->vip2->status, QStringLiteral("Active"));
    EXPECT_EQ(user->urls, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(user->generatewordsTotal, 12345u);
    EXPECT_EQ(user->invite->totalInvites, 3u);
    EXPECT_TRUE(log.mentions(QStringLiteral("JSON转换成功: User(id: Optional(\"u1\")")));

    // A present value of the wrong type fails the whole record.
    EXPECT_FALSE(asUser(R"({"code":0,"data":{"vip2":{"status":1}}})").has_value());
    EXPECT_FALSE(asUser(R"({"code":0,"data":{"generate_words_total":-1}})").has_value());
    // A bare string is not a record and is not written as JSON again.
    EXPECT_FALSE(asUser(R"({"code":0,"data":"text"})").has_value());
    EXPECT_TRUE(log.mentions(QStringLiteral("数据无法序列化为JSON: \"text\"")));

    // A boolean comes only from a boolean.
    EXPECT_EQ(asBool(R"({"code":0,"data":true})"), true);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("简单类型转换成功: true")));
    EXPECT_FALSE(asBool(R"({"code":0,"data":1})").has_value());
    EXPECT_FALSE(asBool(R"({"code":0,"data":{"ok":true}})").has_value());
    EXPECT_TRUE(log.mentions(QStringLiteral("数据类型转换失败: ")));
}

} // namespace
} // namespace velnor
