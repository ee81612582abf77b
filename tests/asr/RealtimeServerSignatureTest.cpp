// The server's own signature check, against HMACs computed by OpenSSL.
#include "realtime/RealtimeSignature.h"
#include "realtime/UsedVoiceIds.h"

#include "../server/ManualClock.h"

#include <QStringList>
#include <QUrl>

#include "OpensslReference.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

const RealtimeCredentials credentials{QStringLiteral("1300000042"), QStringLiteral("AKIDsecretid"),
                                      QStringLiteral("the-secret-key")};
constexpr qint64 now = 1733400000;

// A signed query written out by hand: sorted raw values signed, each value percent-encoded.
QMap<QString, QString> validParams(const QMap<QString, QString>& changes = {})
{
    QMap<QString, QString> params{{"engine_model_type", "16k_zh"}, {"expired", QString::number(now + 86400)},
                                  {"filter_dirty", "1"},           {"nonce", "1733400000123456"},
                                  {"secretid", "AKIDsecretid"},    {"timestamp", QString::number(now)},
                                  {"voice_format", "1"},           {"voice_id", "voice_1733400000123_4242"},
                                  {"hotword_list", "C++ & a=b|5,腾讯|3"}};
    params.insert(changes);
    return params;
}

QByteArray signedQuery(QMap<QString, QString> params, const QString& host = "127.0.0.1:18470",
                       const QString& key = "the-secret-key")
{
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs << it.key() + "=" + it.value();
    if (!params.contains("signature"))
        params.insert("signature", velnor::test::opensslSignature(key.toUtf8(), (host + "/asr/v2/1300000042?" + pairs.join('&')).toUtf8()));
    QByteArray query;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        query += (query.isEmpty() ? "" : "&") + QUrl::toPercentEncoding(it.key()) + "=" + QUrl::toPercentEncoding(it.value());
    return query;
}

RealtimeVerdict verify(const QByteArray& query, const QString& path = "/asr/v2/1300000042")
{
    return RealtimeSignature::verify(credentials, "127.0.0.1:18470", path, query, now);
}

TEST(RealtimeServerSignatureTest, RefusesForgedExpiredForeignOrMalformedRequestsAndReadsAPlusAsAPlus)
{
    EXPECT_EQ(verify(signedQuery(validParams(), "127.0.0.1:18470", "wrong-key")).code, 4002);
    EXPECT_EQ(verify(signedQuery(validParams(), "other.host")).code, 4002);
    EXPECT_EQ(verify(signedQuery(validParams()), "/asr/v2/999").code, 4002);

    EXPECT_EQ(verify(signedQuery(validParams({{"expired", QString::number(now)}}))).message, "signature expired");
    EXPECT_EQ(verify(signedQuery(validParams({{"secretid", "someone-else"}}))).code, 4002);

    // A value changed after signing.
    QByteArray tampered = signedQuery(validParams());
    tampered.replace("voice_1733400000123_4242", "voice_1733400000123_4243");
    EXPECT_EQ(verify(tampered).message, "signature mismatch");

    RealtimeCredentials none;
    EXPECT_EQ(RealtimeSignature::verify(none, "h", "/asr/v2/x", signedQuery(validParams()), now).code, 4002);

    // Parameter problems are 4001.
    for (const char* key : {"secretid", "timestamp", "expired", "nonce", "engine_model_type", "voice_id", "voice_format"}) {
        auto params = validParams();
        params.remove(key);
        const RealtimeVerdict verdict = verify(signedQuery(params));
        EXPECT_EQ(verdict.code, 4001) << key;
        EXPECT_EQ(verdict.message, QStringLiteral("missing parameter %1").arg(key));
    }
    EXPECT_EQ(verify(signedQuery(validParams({{"nonce", "12x"}}))).code, 4001);
    EXPECT_EQ(verify(signedQuery(validParams({{"voice_format", "12"}}))).code, 4001);
    EXPECT_EQ(verify(signedQuery(validParams()) + "&nonce=1").code, 4001);
    EXPECT_EQ(verify("").code, 4001);

    // A signature holding "+" sent raw (not %2B) is read as "+", never as a space.
    QByteArray plus;
    for (int attempt = 0; attempt < 50 && !plus.contains("%2B"); ++attempt)
        plus = signedQuery(validParams({{"nonce", QString::number(1733400000123456 + attempt)}}));
    ASSERT_TRUE(plus.contains("%2B")) << "no signature with a plus sign among the attempts";
    EXPECT_TRUE(verify(plus.replace("%2B", "+")).accepted());
}

TEST(RealtimeServerSignatureTest, OnlyFreshShortLivedUrlsAreAccepted)
{
    struct Case {
        qint64 timestamp;
        qint64 expired;
        bool accepted;
    };
    const Case cases[] = {
        {now, now + 86400, true},        {now - 600, now + 60, true},      {now + 600, now + 1200, true},
        {now - 601, now + 60, false},    {now + 601, now + 1200, false},   {1, 9999999999, false},
        {now, now + 86401, false},       {now - 60, now + 86400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.timestamp - now << " / " << c.expired - now);
        const RealtimeVerdict verdict =
            verify(signedQuery(validParams({{"timestamp", QString::number(c.timestamp)}, {"expired", QString::number(c.expired)}})));
        EXPECT_EQ(verdict.code, c.accepted ? 0 : 4002) << verdict.message.toStdString();
    }
}

// Voice ids are remembered until their URL expires, and no longer.
TEST(RealtimeServerVoiceIdsTest, RemembersEachIdUntilItsUrlExpires)
{
    test::ManualClock clock(now * 1000);
    UsedVoiceIds ids(clock, 3);
    EXPECT_EQ(ids.claim("a", now + 60), UsedVoiceIds::Claim::Accepted);
    EXPECT_EQ(ids.claim("a", now + 60), UsedVoiceIds::Claim::Reused);
    EXPECT_EQ(ids.claim("b", now + 3600), UsedVoiceIds::Claim::Accepted);
    EXPECT_EQ(ids.claim("c", now + 3600), UsedVoiceIds::Claim::Accepted);
    EXPECT_EQ(ids.claim("d", now + 3600), UsedVoiceIds::Claim::Full) << "a hard cap on what is kept";

    clock.advanceMs(60 * 1000);
    EXPECT_EQ(ids.claim("d", now + 3600), UsedVoiceIds::Claim::Accepted) << "a's URL expired: its place is free";
    EXPECT_EQ(ids.size(), 3);
    EXPECT_EQ(ids.claim("b", now + 3600), UsedVoiceIds::Claim::Reused);
    clock.advanceMs(3600 * 1000);
    EXPECT_EQ(ids.claim("e", now + 7200), UsedVoiceIds::Claim::Accepted);
    EXPECT_EQ(ids.size(), 1) << "every expired id is forgotten";
}

} // namespace
} // namespace velnor::server
