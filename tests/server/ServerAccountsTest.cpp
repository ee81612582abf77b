// Accounts on a real velnor-server as attackers and operators meet them:
// guessing codes over loopback, filling the disk while signed out, an SMS
// gateway program, and --dev-sms for a single user on their own machine.
#include "ApiFixture.h"

#include <QFileInfo>
#include <QNetworkInterface>

namespace velnor::server {
namespace {

using test::HttpResult;
using test::ServerApi;
using test::kPhone;

// One local address guessing codes: before, every guess was answered, and each
// new code gave five more tries at a phone.
TEST_F(ServerApi, CodeGuessingFromOneAddressIsCutOff)
{
    QStringList phones;
    for (int i = 0; i < 10; ++i) {
        phones << QStringLiteral("1370000%1").arg(i, 4, 10, QLatin1Char('0'));
        ASSERT_EQ(post("/auth/sms/code", {{"phone", phones.last()}}).code(), 0) << i;
    }
    const HttpResult moreCodes = post("/auth/sms/code", {{"phone", "13700000010"}});
    EXPECT_EQ(moreCodes.code(), 429) << "code requests are limited per address";
    EXPECT_TRUE(moreCodes.msg().contains(QStringLiteral("address"))) << moreCodes.msg().toStdString();

    int answered = 0;
    for (int attempt = 0; attempt < 40; ++attempt) {
        const QString phone = phones[attempt % phones.size()];
        const QString code = server.smsCode(phone);
        const QString guess = code == QStringLiteral("0000") ? QStringLiteral("0001") : QStringLiteral("0000");
        const HttpResult result = post("/auth/login/sms", {{"phone", phone}, {"code", guess}});
        if (result.code() == 429)
            break;
        EXPECT_EQ(result.code(), 403) << result.body.toStdString();
        ++answered;
    }
    EXPECT_EQ(answered, 30) << "logins are limited per address";
    const HttpResult right = post("/auth/login/sms", {{"phone", phones[0]}, {"code", server.smsCode(phones[0])}});
    EXPECT_EQ(right.code(), 429) << "not even a right code gets through now";
}

qint64 databaseBytes(const QString& dir)
{
    return QFileInfo(dir + QStringLiteral("/velnor.db")).size() + QFileInfo(dir + QStringLiteral("/velnor.db-wal")).size();
}

// Before, 50 signed-out corrections of 100,000 characters grew the database by 11 MB.
TEST_F(ServerApi, CorrectionsCannotFillTheDisk)
{
    const QString token = signIn();
    const qint64 before = databaseBytes(dataDir.path());
    const QByteArray text = QByteArray("word ").repeated(20000);
    for (int i = 0; i < 70; ++i) {
        const HttpResult adjusted = adjust(text, i < 50 ? QString() : token);   // signed out, then in
        ASSERT_EQ(adjusted.code(), 0) << adjusted.body.left(300).toStdString();
        EXPECT_EQ(adjusted.data().toObject().value("text").toString().size(), text.size() - 1)
            << "the answer is whole; only what is kept is cut";
    }
    EXPECT_LT(databaseBytes(dataDir.path()) - before, 1024 * 1024);
}

// An operator's SMS gateway: a program given the phone, reading the code.
class SmsCommandServer : public ServerApi {
protected:
    SmsCommandServer()
    {
        const QString gateway = m_tools.writeFile(QStringLiteral("gateway"),
                                                  "#!/bin/sh\nread code\n[ \"$1\" = 13900000009 ] && exit 1\n"
                                                  "echo \"$1 $code\" >> '" + m_tools.filePath(QStringLiteral("sent")).toUtf8()
                                                      + "'\n");
        QFile::setPermissions(gateway, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        args = QStringList{QStringLiteral("--sms-command"), gateway};
    }

    velnor::test::TempDir m_tools;
};

TEST_F(SmsCommandServer, CodesGoThroughTheProgramAndNeverIntoTheLog)
{
    const HttpResult sent = post("/auth/sms/code", {{"phone", kPhone}});
    ASSERT_EQ(sent.code(), 0) << sent.body.toStdString();
    EXPECT_EQ(sent.data(), QJsonValue(true));
    const QString code = server.smsCode(kPhone);
    EXPECT_EQ(m_tools.readFile(QStringLiteral("sent")), (kPhone + QLatin1Char(' ') + code + QLatin1Char('\n')).toUtf8());
    EXPECT_EQ(post("/auth/login/sms", {{"phone", kPhone}, {"code", code}}).code(), 0);

    const HttpResult failed = post("/auth/sms/code", {{"phone", "13900000009"}});
    EXPECT_EQ(failed.status, 200);
    EXPECT_EQ(failed.code(), 503) << "a failed delivery is no success";
    EXPECT_EQ(post("/auth/sms/code", {{"phone", "13900000009"}}).code(), 503) << "and may be retried at once";

    const QByteArray log = server.standardError();
    EXPECT_FALSE(log.contains("SMS code for"));
    EXPECT_TRUE(log.contains("139****0009")) << log.toStdString();
    for (const QByteArray& line : log.split('\n'))
        EXPECT_FALSE(line.mid(24).contains(code.toUtf8())) << line.toStdString();   // after the time stamp
}

// Bound to every address: a caller from this machine gets the code, one from
// another address does not.
TEST(DevSmsPeer, ACallerFromAnotherAddressGetsNoCode)
{
    QHostAddress outside;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            outside = address;
    }
    if (outside.isNull())
        GTEST_SKIP() << "this machine has no address besides loopback";
    velnor::test::TempDir data;
    velnor::test::ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {QStringLiteral("--dev-sms"), QStringLiteral("--host"), QStringLiteral("0.0.0.0")},
                             false))
        << server.error().toStdString();
    velnor::test::RawHttp http;
    const auto sendCode = [&](const QHostAddress& host, const QString& phone) {
        QUrl url(QStringLiteral("http://%1:%2/auth/sms/code").arg(host.toString()).arg(server.url().port()));
        return http.json("POST", url, {{"phone", phone}});
    };
    const HttpResult fromOutside = sendCode(outside, kPhone);
    ASSERT_EQ(fromOutside.code(), 0) << fromOutside.body.toStdString();
    EXPECT_EQ(fromOutside.data(), QJsonValue(true)) << "peer " << outside.toString().toStdString();
    const HttpResult fromHere = sendCode(QHostAddress::LocalHost, QStringLiteral("13900000000"));
    const QString code = fromHere.data().toObject().value("dev_code").toString();
    ASSERT_EQ(code.size(), 4) << fromHere.body.toStdString();
    EXPECT_EQ(http.json("POST", QUrl(QStringLiteral("http://127.0.0.1:%1/auth/login/sms").arg(server.url().port())),
                        {{"phone", "13900000000"}, {"code", code}})
                  .code(),
              0);
}

} // namespace
} // namespace velnor::server
