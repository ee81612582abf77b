#include "AsrTestSupport.h"
#include "OpensslReference.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

TEST(TencentASRSignatureTest, ParametersSignedTextAndHotWordListFollowTheProtocolAndABadBaseUrlGivesNoUrl)
{
    test::AsrHarness harness{QStringLiteral("asr.example.test:8443")};
    TencentASRConfig config = harness.config();
    harness.clock.set(QDateTime::fromMSecsSinceEpoch(1733400000123));
    auto params = harness.signature.generateSignatureParams(config, QStringLiteral("voice_x"));
    const qint64 nonce = params["nonce"].toLongLong();
    EXPECT_GE(nonce, 1733400000123000 + 1000);
    EXPECT_LE(nonce, 1733400000123000 + 9999);
    const QString signature = params.take("signature");
    params.remove("nonce");
    // No hot words cached: no hotword_list.
    const QMap<QString, QString> expected{{"timestamp", "1733400000"},   {"expired", "1733486400"},
                                          {"voice_format", "1"},        {"engine_model_type", "16k_zh"},
                                          {"secretid", config.secretId}, {"voice_id", "voice_x"},
                                          {"filter_dirty", "1"},        {"filter_modal", "1"},
                                          {"filter_punc", "1"},         {"needvad", "1"}};
    EXPECT_EQ(params, expected);
    EXPECT_TRUE(harness.log.mentions("ℹ️ 无可用热词"));
    params["nonce"] = QString::number(nonce);
    params["signature"] = signature; // never signs itself

    const QString text = harness.signature.buildSignatureString(config, params);
    EXPECT_FALSE(text.contains("signature"));
    EXPECT_TRUE(text.startsWith("asr.example.test:8443/asr/v2/1300000000?engine_model_type=16k_zh&expired="));
    EXPECT_EQ(signature, test::opensslSignature(config.secretKey.toUtf8(), text.toUtf8()));

    // An invalid base URL gives no URL.
    config.baseURL = QStringLiteral("not a url at all");
    EXPECT_FALSE(harness.signature.buildWebSocketURL(config, QStringLiteral("v")));
    EXPECT_TRUE(harness.log.mentions("❌ 无法创建URLComponents，基础URL无效: not a url at all/1300000000"));

    // The hot word list's rules.
    const QString forty = QString(40, QChar(u'字'));
    // The cut at 30 characters never splits a character of several code points.
    const QString family = QStringLiteral("👨‍👩‍👧");
    harness.hotWords.words = {{QStringLiteral("a|b"), 5}, {QStringLiteral("a,b"), 5}, {forty, 5},
                              {QStringLiteral("zero"), 0},  {QStringLiteral("big"), 20}, {QStringLiteral("frac"), 5.9},
                              {QStringLiteral("neg"), -3},  {QString(), 4},             {QStringLiteral("eleven"), 11.9},
                              {QString(29, QChar('a')) + family + "tail", 3}};
    // Only the first 128 cached words are considered.
    for (int i = harness.hotWords.words.size(); i < 200; ++i)
        harness.hotWords.words.append({i < 128 ? QStringLiteral("w,%1").arg(i) : QStringLiteral("ok%1").arg(i), 5});
    EXPECT_EQ(harness.signature.generateHotwordList(), QString(30, QChar(u'字')) + "|5,zero|1,big|11,frac|5,neg|1,eleven|11,"
                                                           + QString(29, QChar('a')) + family + "|3");
    EXPECT_TRUE(harness.log.mentions("🔥 生成热词列表: "));
}

} // namespace
} // namespace velnor
