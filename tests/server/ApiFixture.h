#pragma once

#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace velnor::server::test {

using namespace velnor::test;

// A velnor-server started for each test (with a 2 MiB upload limit and a
// published Linux release 1.10.0), and helpers to talk to it.
inline const QString kPhone = QStringLiteral("13812345678");

inline QStringList limitsAndRelease()
{
    return {QStringLiteral("--max-upload-mb"), QStringLiteral("2"), QStringLiteral("--latest-version"),
            QStringLiteral("linux=1.10.0,https://downloads.invalid/velnor")};
}

class ServerApi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start(dataDir.path(), extraArgs())) << server.error().toStdString(); }
    virtual QStringList extraArgs() const { return limitsAndRelease(); }

    QUrl url(const char* path) const { return server.url(QString::fromLatin1(path)); }
    HttpResult post(const char* path, const QJsonObject& body, const QString& token = {})
    {
        return http.json("POST", url(path), body, token);
    }

    // Signs in by SMS through the API and returns the token.
    QString signIn(const QString& phone = kPhone)
    {
        const HttpResult sent = post("/auth/sms/code", {{"phone", phone}});
        EXPECT_EQ(sent.code(), 0) << sent.body.toStdString();
        QUrl codeUrl = url("/__test/sms-code");
        codeUrl.setQuery(QUrlQuery{{QStringLiteral("phone"), phone}});
        const QString code = http.get(codeUrl).data().toObject().value("code").toString();
        const HttpResult login = post("/auth/login/sms", {{"phone", phone}, {"code", code}});
        EXPECT_EQ(login.code(), 0) << login.body.toStdString();
        return login.data().toObject().value("token").toString();
    }

    velnor::test::TempDir dataDir;
    ServerProcess server;
    RawHttp http;
};

} // namespace velnor::server::test
