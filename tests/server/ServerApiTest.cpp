// The HTTP API of a real velnor-server process, spoken to in raw HTTP.
#include "ApiFixture.h"

namespace velnor::server {
namespace {

using test::HttpResult;
using test::MultipartBody;
using test::ServerApi;
using test::kPhone;

TEST_F(ServerApi, SmsLoginEndToEnd)
{
    EXPECT_EQ(post("/auth/sms/code", {{"phone", "12345"}}).code(), 400);
    const HttpResult sent = post("/auth/sms/code", {{"phone", kPhone}});
    EXPECT_EQ(sent.code(), 0) << sent.body.toStdString();

    const QString code = server.smsCode(kPhone);
    const QString wrong = code == QStringLiteral("0000") ? QStringLiteral("1111") : QStringLiteral("0000");

    const HttpResult refused = post("/auth/login/sms", {{"phone", kPhone}, {"code", wrong}});
    EXPECT_EQ(refused.code(), 403);
    EXPECT_FALSE(refused.msg().isEmpty());
    const HttpResult login = post("/auth/login/sms", {{"phone", kPhone}, {"code", code}});
    ASSERT_EQ(login.code(), 0) << login.body.toStdString();
    const QJsonObject session = login.data().toObject();
    const QString token = session.value("token").toString();
    EXPECT_FALSE(token.isEmpty());
    EXPECT_EQ(session.value("phone").toString(), kPhone);
    EXPECT_FALSE(session.value("userId").toString().isEmpty());
    EXPECT_EQ(post("/auth/login/sms", {{"phone", kPhone}, {"code", code}}).code(), 403) << "a code works once";

    const HttpResult me = http.get(url("/auth/mev2"), token);
    ASSERT_EQ(me.code(), 0) << me.body.toStdString();
    const QJsonObject user = me.data().toObject();
    EXPECT_EQ(user.value("phone").toString(), kPhone);
    EXPECT_EQ(user.value("id").toString(), session.value("userId").toString());
    EXPECT_EQ(user.value("generate_words_total").toInteger(-1), 0);
    EXPECT_EQ(user.value("invite").toObject().value("code").toString().size(), 6);
    EXPECT_EQ(user.value("vip2").toObject().value("status").toString(), QStringLiteral("active"));

    const QByteArray log = server.standardError();
    EXPECT_TRUE(log.contains("SMS code for 138****5678: " + code.toUtf8())) << "the development delivery";
    EXPECT_FALSE(log.contains(kPhone.toUtf8())) << "phone numbers are masked";
    EXPECT_FALSE(log.contains(token.toUtf8())) << "the token is never logged";
}

// A session that expired must sign the user out of the account, never cost
// them a dictation: the dictation calls and the hot word list take a bad token
// as no session.
TEST_F(ServerApi, BadTokensSignOutButDictationCarriesOn)
{
    const QString token = signIn();
    QString forged = token;
    forged[5] = forged[5] == QLatin1Char('x') ? QLatin1Char('y') : QLatin1Char('x');
    ASSERT_EQ(post("/qasr/hotword", {{"text", "Velnor"}, {"weight", 5}}, token).code(), 0);
    for (const QString& bad : {QString(), forged, QStringLiteral("abc.def")}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_EQ(http.get(url("/auth/mev2"), bad).code(), 401);
        EXPECT_EQ(post("/qasr/hotword", {{"text", "x"}, {"weight", 5}}, bad).code(), 401);
        const HttpResult listed = http.get(url("/qasr/hotwordlist"), bad);
        EXPECT_EQ(listed.code(), 0);
        EXPECT_EQ(listed.data(), QJsonValue(QJsonArray())) << "nobody's hot words, and no error";
        EXPECT_EQ(adjust("hi", bad).data().toObject().value("text").toString(), QStringLiteral("hi"));

        ASSERT_TRUE(server.scriptRecognizer({QStringLiteral("open velnor over over")}));
        const HttpResult recognized = upload(QByteArray(16, 'a'), {{"over_over", "true"}}, bad);
        ASSERT_EQ(recognized.code(), 0) << recognized.body.toStdString();
        EXPECT_EQ(recognized.data().toObject().value("text").toString(), QStringLiteral("open velnor"))
            << "the signed-out text is not adjusted with the user's hot words; the ending asked for is cut";
        const QString id = recognized.data().toObject().value("id").toString();
        EXPECT_EQ(post("/qasr/recognize/update", {{"id", id}, {"text_input_method", "clipboard"}}, bad).code(), 0);
    }
    EXPECT_EQ(hotWords(token).size(), 1);

    // "Bearer " without a token is no session either.
    const test::RawHttp::Headers emptyBearer{{"Content-Type", "application/json"}, {"Authorization", "Bearer "}};
    EXPECT_EQ(http.send("GET", url("/auth/mev2"), {}, emptyBearer).code(), 401);
    EXPECT_EQ(http.send("POST", url("/qasr/adjust"), "{\"base64_text\":\"aGk=\"}", emptyBearer).code(), 0);
}

// A user's hot words correct their texts; up to fifty are kept per user.
TEST_F(ServerApi, HotWordsCorrectTextsAndAreKeptWithinTheLimit)
{
    const QString token = signIn();
    ASSERT_EQ(post("/qasr/hotword", {{"text", "Velnor"}, {"weight", 8}}, token).code(), 0);
    const QByteArray text = "  open   VELNOR\tnow ";
    const HttpResult adjusted = post("/qasr/adjust", {{"base64_text", QString::fromLatin1(text.toBase64())},
                                                      {"app_id", "org.example.editor"}, {"os_type", "linux"}},
                                     token);
    ASSERT_EQ(adjusted.code(), 0) << adjusted.body.toStdString();
    EXPECT_EQ(adjusted.data().toObject().value("text").toString(), QStringLiteral("open Velnor now"));
    EXPECT_FALSE(adjusted.data().toObject().value("id").toString().isEmpty());
    EXPECT_EQ(adjust(text).data().toObject().value("text").toString(), QStringLiteral("open VELNOR now"));
    EXPECT_EQ(post("/qasr/adjust", {{"base64_text", "%%%not base64"}}).code(), 400);
    EXPECT_EQ(adjust("\xff\xfe").code(), 400);
    EXPECT_EQ(post("/qasr/adjust", {{"text", "missing key"}}).code(), 400);
    EXPECT_EQ(http.send("POST", url("/qasr/adjust"), "[1,2]", {{"Content-Type", "application/json"}}).code(), 400);
    ASSERT_EQ(http.json("DELETE", url("/qasr/hotword"), {{"text", "Velnor"}, {"weight", 8}}, token).code(), 0);

    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(post("/qasr/hotword", {{"text", QStringLiteral("word%1").arg(i)}, {"weight", 1 + i % 11}}, token).code(), 0);
    const HttpResult full = post("/qasr/hotword", {{"text", "extra"}, {"weight", 5}}, token);
    EXPECT_EQ(full.code(), 422);
    EXPECT_TRUE(full.msg().contains(QStringLiteral("50")));
    EXPECT_EQ(post("/qasr/hotword", {{"text", " word7 "}, {"weight", 9}}, token).code(), 0) << "an update is no new word";

    const QJsonArray listed = hotWords(token);
    ASSERT_EQ(listed.size(), 50);
    EXPECT_EQ(listed[0].toObject(), (QJsonObject{{"text", "word0"}, {"weight", 1}}));
    EXPECT_EQ(listed[7].toObject(), (QJsonObject{{"text", "word7"}, {"weight", 9}}));
    EXPECT_EQ(listed[49].toObject().value("text"), "word49") << "kept in the order added";

    EXPECT_EQ(http.json("DELETE", url("/qasr/hotword"), {{"text", "word3"}, {"weight", 4}}, token).code(), 0);
    EXPECT_EQ(http.json("DELETE", url("/qasr/hotword"), {{"text", "word3"}, {"weight", 4}}, token).code(), 404);
    EXPECT_EQ(post("/qasr/hotword", {{"text", "extra"}, {"weight", 5}}, token).code(), 0) << "room again after a delete";

    EXPECT_EQ(post("/qasr/hotword", {{"text", "elevenchars"}, {"weight", 5}}, token).code(), 400);
    EXPECT_EQ(post("/qasr/hotword", {{"text", "ok"}, {"weight", "5"}}, token).code(), 400);
    EXPECT_EQ(http.send("POST", url("/qasr/hotword"), "{not json", {{"Authorization", "Bearer " + token.toUtf8()}}).code(),
              400);
    EXPECT_EQ(hotWords(token).size(), 50) << "invalid words are not stored";

    const QString other = signIn(QStringLiteral("13900000000"));
    EXPECT_TRUE(hotWords(other).isEmpty()) << "hot words are per user";
    EXPECT_EQ(post("/qasr/hotword", {{"text", "word0"}, {"weight", 5}}, other).code(), 0) << "and so is the limit";
}

// An older version is offered the release through the app's own checker, the
// same version is not (BackendIntegrationTest); here what the app cannot tell apart.
TEST_F(ServerApi, BrokenRequestsGetClearErrorsAndTheServerCarriesOn)
{
    const HttpResult notAudio = upload(QByteArray(20000, 'x'), {{"file_type", "m4a"}});
    EXPECT_EQ(notAudio.code(), 415) << notAudio.body.toStdString();
    EXPECT_TRUE(notAudio.msg().contains(QStringLiteral("audio")));

    const auto send = [this](const QByteArray& contentType, const QByteArray& body) {
        return http.send("POST", url("/qasr/recognize"), body, {{"Content-Type", contentType}});
    };
    const test::MultipartBody noAudio = test::uploadBody(QByteArray(20000, 'x'));
    EXPECT_EQ(send(noAudio.contentType(), noAudio.finish().left(100)).code(), 400) << "truncated body";
    EXPECT_EQ(send("application/json", "{}").code(), 400);
    MultipartBody noFile("B");
    noFile.field("file_type", "m4a");
    EXPECT_EQ(send(noFile.contentType(), noFile.finish()).code(), 400);

    EXPECT_EQ(post("/qasr/recognize/update", {{"id", "no-such-record"}}).code(), 404);
    EXPECT_EQ(post("/qasr/recognize/update", {{"app_id", "x"}}).code(), 400);
    const HttpResult noVersion = http.get(url("/app/check?current_version=latest&platform=linux"));
    EXPECT_EQ(noVersion.code(), 400);
    EXPECT_TRUE(noVersion.data().toObject().contains("update_desc")) << "data stays complete";
    EXPECT_FALSE(http.get(url("/app/check?current_version=0.1&platform=macos")).data().toObject().value("is_need_update").toBool(true))
        << "no release is published for macOS";
    EXPECT_EQ(post("/auth/sms/code", {{"phone", kPhone}}).code(), 0) << "still serving";
}

} // namespace
} // namespace velnor::server
