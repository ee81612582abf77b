#include "asr/TencentASRResponse.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

std::optional<TencentASRResponse> decode(const char* json, QString* error = nullptr)
{
    QString ignored;
    return TencentASRResponse::decode(QByteArray(json), error ? error : &ignored);
}

TEST(TencentASRResponseTest, ResultWithFinalFlagCarriesBothAndMissingOrMistypedValuesAreRejected)
{
    const TencentASRResponse expected{
        .code = 0, .message = {}, .voiceId = {}, .messageId = QStringLiteral("m-9"),
        .result = TencentASRResult{.sliceType = 2, .index = 3, .startTime = 120, .endTime = 980, .voiceTextStr = QStringLiteral("你好世界"),
                                   .wordSize = 1, .wordList = QList<TencentASRWord>{{QStringLiteral("你好"), 120, 500, 1}}},
        .final = 1};
    EXPECT_EQ(decode(R"({"code":0,"final":1,"message_id":"m-9","result":{"slice_type":2,"index":3,)"
                     R"("start_time":120,"end_time":980,"voice_text_str":"你好世界","word_size":1,)"
                     R"("word_list":[{"word":"你好","start_time":120,"end_time":500,"stable_flag":1}]},"extra":true})"),
              expected);

    // Strict decoding rejects missing or mistyped values.
    QString error;
    // word_list may be absent, voice_text_str may not.
    EXPECT_TRUE(decode(R"({"code":0,"result":{"slice_type":1,"index":0,"start_time":0,"end_time":1,"voice_text_str":"a","word_size":0}})"));
    EXPECT_FALSE(decode(R"({"code":0,"result":{"slice_type":1,"index":0,"start_time":0,"end_time":1,"word_size":0}})", &error));
    EXPECT_TRUE(error.contains("voice_text_str"));
    EXPECT_FALSE(decode(R"({"message":"no code"})", &error));
    EXPECT_TRUE(error.contains("code"));
    for (const char* mistyped : {R"({"code":"0"})", R"({"code":1.5})", R"({"code":0,"message":7})", R"({"code":0,"final":"1"})",
                                 R"({"code":0,"result":{"slice_type":1,"index":0,"start_time":0,"end_time":1,"voice_text_str":"a","word_size":0,"word_list":[{"word":"a"}]}})",
                                 "[1,2]", "not json"})
        EXPECT_FALSE(decode(mistyped)) << mistyped;
}

} // namespace
} // namespace velnor
