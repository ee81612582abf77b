#include "asr/TencentASRConnectionState.h"
#include "asr/TencentASRError.h"
#include "asr/TencentASRResponse.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace velnor {
namespace {

std::optional<TencentASRResponse> decode(const char* json, QString* error = nullptr)
{
    QString ignored;
    return TencentASRResponse::decode(QByteArray(json), error ? error : &ignored);
}

TEST(TencentASRErrorTest, DescriptionsAreTheUserFacingTexts)
{
    EXPECT_EQ(TencentASRError::configurationError("AppID不能为空").description(), "配置错误: AppID不能为空");
    EXPECT_EQ(TencentASRError::connectionError("x").description(), "连接错误: x");
    EXPECT_EQ(TencentASRError::authenticationError("x").description(), "认证错误: x");
    EXPECT_EQ(TencentASRError::audioFormatError("x").description(), "音频格式错误: x");
    EXPECT_EQ(TencentASRError::networkError("refused").description(), "网络错误: refused");
    EXPECT_EQ(TencentASRError::serverError(4008, "客户端数据上传超时").description(), "服务器错误(4008): 客户端数据上传超时");
    EXPECT_EQ(TencentASRError::parseError("JSON格式不符合预期").description(), "解析错误: JSON格式不符合预期");
    EXPECT_EQ(TencentASRError::unknownError("x").description(), "未知错误: x");
    EXPECT_EQ(TencentASRError::timeoutError().description(), "连接超时");
}

TEST(TencentASRConnectionStateTest, StatusTexts)
{
    EXPECT_EQ(TencentASRConnectionState::disconnected().statusText(), "已断开");
    EXPECT_EQ(TencentASRConnectionState::connecting().statusText(), "连接中");
    EXPECT_EQ(TencentASRConnectionState::connected().statusText(), "已连接");
    EXPECT_EQ(TencentASRConnectionState::ready().statusText(), "已连接");
    EXPECT_EQ(TencentASRConnectionState::authenticating().statusText(), "认证中");
    EXPECT_EQ(TencentASRConnectionState::error(TencentASRError::timeoutError()).statusText(), "错误: 连接超时");
    EXPECT_NE(TencentASRConnectionState::connected(), TencentASRConnectionState::ready());
}

TEST(TencentASRResponseTest, HandshakeHasNoResultAndNoFinalFlag)
{
    const auto response = decode(R"({"code":0,"message":"success","voice_id":"voice_1_1234"})");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->code, 0);
    EXPECT_EQ(response->message, "success");
    EXPECT_EQ(response->voiceId, "voice_1_1234");
    EXPECT_FALSE(response->result);
    EXPECT_FALSE(response->final);
}

TEST(TencentASRResponseTest, ResultWithFinalFlagCarriesBoth)
{
    const auto response = decode(R"({"code":0,"final":1,"message_id":"m-9","result":{"slice_type":2,"index":3,)"
                                 R"("start_time":120,"end_time":980,"voice_text_str":"你好世界","word_size":1,)"
                                 R"("word_list":[{"word":"你好","start_time":120,"end_time":500,"stable_flag":1}]},"extra":true})");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->final, 1);
    EXPECT_EQ(response->messageId, "m-9");
    ASSERT_TRUE(response->result);
    EXPECT_EQ(response->result->sliceType, 2);
    EXPECT_EQ(response->result->index, 3);
    EXPECT_EQ(response->result->startTime, 120);
    EXPECT_EQ(response->result->endTime, 980);
    EXPECT_EQ(response->result->voiceTextStr, "你好世界");
    ASSERT_TRUE(response->result->wordList);
    ASSERT_EQ(response->result->wordList->size(), 1);
    EXPECT_EQ(response->result->wordList->first().word, "你好");
    EXPECT_EQ(response->result->wordList->first().stableFlag, 1);
}

TEST(TencentASRResponseTest, StrictDecodingRejectsMissingOrMistypedValues)
{
    QString error;
    // word_list may be absent, voice_text_str may not.
    EXPECT_TRUE(decode(R"({"code":0,"result":{"slice_type":1,"index":0,"start_time":0,"end_time":1,"voice_text_str":"a","word_size":0}})"));
    EXPECT_FALSE(decode(R"({"code":0,"result":{"slice_type":1,"index":0,"start_time":0,"end_time":1,"word_size":0}})", &error));
    EXPECT_TRUE(error.contains("voice_text_str"));
    EXPECT_FALSE(decode(R"({"message":"no code"})", &error));
    EXPECT_TRUE(error.contains("code"));
    EXPECT_FALSE(decode(R"({"code":"0"})"));
    EXPECT_FALSE(decode(R"({"code":1.5})"));
    EXPECT_FALSE(decode(R"({"code":0,"message":7})"));
    EXPECT_FALSE(decode(R"({"code":0,"final":"1"})"));
    EXPECT_FALSE(decode(R"({"code":0,"result":{"slice_type":1,"index":0,"start_time":0,"end_time":1,"voice_text_str":"a","word_size":0,"word_list":[{"word":"a"}]}})"));
    EXPECT_FALSE(decode("[1,2]"));
    EXPECT_FALSE(decode("not json"));
}

TEST(TencentASRResponseTest, EncodesBackWithTheSameKeysLeavingAbsentFieldsOut)
{
    const auto response = decode(R"({"code":4008,"message":"客户端数据上传超时"})");
    ASSERT_TRUE(response);
    EXPECT_EQ(TencentASRError::serverError(response->code, *response->message).description(),
              "服务器错误(4008): 客户端数据上传超时");
    const QJsonObject json = response->toJson();
    EXPECT_EQ(json.keys(), (QStringList{"code", "message"}));

    const auto full = decode(R"({"code":0,"voice_id":"v","final":1,"result":{"slice_type":0,"index":1,"start_time":2,)"
                             R"("end_time":3,"voice_text_str":"x","word_size":0}})");
    ASSERT_TRUE(full);
    QString error;
    EXPECT_EQ(TencentASRResponse::decode(full->toJson(), &error), full);
}

TEST(TencentASRResponseTest, SliceTypeNames)
{
    EXPECT_EQ(sliceTypeName(0), "开始识别");
    EXPECT_EQ(sliceTypeName(1), "识别中");
    EXPECT_EQ(sliceTypeName(2), "识别结束");
    EXPECT_EQ(sliceTypeName(7), "未知");
}

} // namespace
} // namespace velnor
