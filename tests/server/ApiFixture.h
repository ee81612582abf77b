#pragma once

#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <QJsonDocument>
#include <QNetworkRequest>

#include <gtest/gtest.h>

namespace velnor::server::test {

using namespace velnor::test;

inline const QString kPhone = QStringLiteral("13812345678");

// The real-time endpoint's credentials as options, the key written to a file in `dir`.
inline QStringList realtimeCredentials(const TempDir& dir, const QString& appId, const QString& secretId,
                                       const QByteArray& key)
{
    return {QStringLiteral("--asr-app-id"), appId, QStringLiteral("--asr-secret-id"), secretId,
            QStringLiteral("--asr-secret-key-file"), dir.writeFile(QStringLiteral("asr.key"), key + '\n')};
}

// A multipart upload to /qasr/recognize: `fields`, then `audio` as the file part.
inline MultipartBody uploadBody(const QByteArray& audio, const QList<QPair<QByteArray, QByteArray>>& fields = {})
{
    MultipartBody body("Boundary-0C7E29A4");
    for (const auto& [name, value] : fields)
        body.field(name, value);
    body.file("file", "audio.m4a", "audio/m4a", audio);
    return body;
}

// A velnor-server started for each test with `args`, and helpers to talk to it.
class ServerApi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start(dataDir.path(), args)) << server.error().toStdString(); }

    QUrl url(const char* path) const { return server.url(QString::fromLatin1(path)); }
    HttpResult post(const char* path, const QJsonObject& body, const QString& token = {})
    {
        return http.json("POST", url(path), body, token);
    }
    HttpResult adjust(const QByteArray& text, const QString& token = {})
    {
        return post("/qasr/adjust", {{"base64_text", QString::fromLatin1(text.toBase64())}}, token);
    }
    QJsonArray hotWords(const QString& token) { return http.get(url("/qasr/hotwordlist"), token).data().toArray(); }

    HttpResult upload(const QByteArray& audio, const QList<QPair<QByteArray, QByteArray>>& fields = {},
                      const QString& token = {}, int timeoutMs = 60000)
    {
        const MultipartBody body = uploadBody(audio, fields);
        RawHttp::Headers headers{{"Content-Type", body.contentType()}};
        if (!token.isEmpty())
            headers.append({"Authorization", "Bearer " + token.toUtf8()});
        return http.send("POST", url("/qasr/recognize"), body.finish(), headers, timeoutMs);
    }
    // An upload left in flight on its own connection of `network`.
    QNetworkReply* startUpload(QNetworkAccessManager& network, const QByteArray& audio, const QString& token = {})
    {
        const MultipartBody body = uploadBody(audio, {{"file_type", "m4a"}});
        QNetworkRequest request(url("/qasr/recognize"));
        request.setRawHeader("Content-Type", body.contentType());
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        return network.post(request, body.finish());
    }

    // Signs in by SMS through the API and returns the token.
    QString signIn(const QString& phone = kPhone)
    {
        const HttpResult sent = post("/auth/sms/code", {{"phone", phone}});
        EXPECT_EQ(sent.code(), 0) << sent.body.toStdString();
        const HttpResult login = post("/auth/login/sms", {{"phone", phone}, {"code", server.smsCode(phone)}});
        EXPECT_EQ(login.code(), 0) << login.body.toStdString();
        return login.data().toObject().value("token").toString();
    }

    // A 2 MiB upload limit and a published Linux release 1.10.0; fixtures add theirs.
    QStringList args{"--max-upload-mb", "2", "--latest-version", "linux=1.10.0,https://downloads.invalid/velnor"};
    velnor::test::TempDir dataDir;
    ServerProcess server;
    RawHttp http;
};

// The code an answer envelope carries, once the reply is in.
inline int codeOf(QNetworkReply* reply)
{
    return QJsonDocument::fromJson(waitForReply(reply)).object().value("code").toInt(-1);
}

} // namespace velnor::server::test
