#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QCommandLineParser;

namespace velnor::server::cloud {

// The cloud recogniser's account and endpoints. The secret key comes from a
// file or the environment, never from the command line (where every local
// user could read it in the process list).
struct CloudSettings {
    static constexpr int kDefaultMaxRequests = 4;

    QString secretId;
    QString secretKey;
    QString appId;    // the real-time endpoint's path names it
    QString region;   // empty: not sent
    QUrl apiUrl = QUrl(QStringLiteral("https://asr.tencentcloudapi.com/"));
    QUrl realtimeUrl = QUrl(QStringLiteral("wss://asr.cloud.tencent.com/asr/v2"));
    int maxRequests = kDefaultMaxRequests; // one-sentence calls in flight at once

    // Files need the key pair; streams also the AppID.
    enum class Use { Files, Streams };

    static void addOptions(QCommandLineParser& parser);
    // Reads the options (and VELNOR_CLOUD_SECRET_KEY, VELNOR_CLOUD_SECRET_ID,
    // VELNOR_CLOUD_APP_ID); none, with *error, when a setting is missing or unusable.
    static std::optional<CloudSettings> fromParser(const QCommandLineParser& parser, Use use, QString* error);
};

} // namespace velnor::server::cloud
