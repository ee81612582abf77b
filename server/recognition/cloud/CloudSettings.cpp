#include "recognition/cloud/CloudSettings.h"

#include <QCommandLineParser>
#include <QFile>

namespace velnor::server::cloud {

namespace {

const QString kSecretId = QStringLiteral("cloud-secret-id");
const QString kSecretKeyFile = QStringLiteral("cloud-secret-key-file");
const QString kAppId = QStringLiteral("cloud-app-id");
const QString kRegion = QStringLiteral("cloud-region");
const QString kApiUrl = QStringLiteral("cloud-api-url");
const QString kRealtimeUrl = QStringLiteral("cloud-realtime-url");
const QString kMaxRequests = QStringLiteral("cloud-max-requests");

QString valueOrEnvironment(const QCommandLineParser& parser, const QString& option, const char* variable)
{
    const QString value = parser.value(option).trimmed();
    return value.isEmpty() ? qEnvironmentVariable(variable).trimmed() : value;
}

std::optional<CloudSettings> fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return std::nullopt;
}

} // namespace

void CloudSettings::addOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kSecretId, QStringLiteral("With --recognizer cloud: the cloud account's SecretId (or VELNOR_CLOUD_SECRET_ID)."),
         QStringLiteral("ID")},
        {kSecretKeyFile, QStringLiteral("With --recognizer cloud: file holding the cloud account's SecretKey (or "
                                        "VELNOR_CLOUD_SECRET_KEY, e.g. from the systemd EnvironmentFile). The key is "
                                        "never taken on the command line."),
         QStringLiteral("FILE")},
        {kAppId, QStringLiteral("With cloud real-time recognition: the cloud account's AppID (or "
                                "VELNOR_CLOUD_APP_ID)."),
         QStringLiteral("ID")},
        {kRegion, QStringLiteral("With --recognizer cloud: the region sent with one-sentence calls (default: none)."),
         QStringLiteral("REGION")},
        {kApiUrl, QStringLiteral("With --recognizer cloud: the one-sentence recognition API (default "
                                 "https://asr.tencentcloudapi.com/)."),
         QStringLiteral("URL")},
        {kRealtimeUrl, QStringLiteral("With --recognizer cloud: the real-time endpoint's base, the AppID is appended "
                                      "(default wss://asr.cloud.tencent.com/asr/v2)."),
         QStringLiteral("URL")},
        {kMaxRequests, QStringLiteral("With --recognizer cloud: one-sentence calls in flight at once; more wait "
                                      "(default %1).").arg(kDefaultMaxRequests),
         QStringLiteral("N")},
    });
}

std::optional<CloudSettings> CloudSettings::fromParser(const QCommandLineParser& parser, Use use, QString* error)
{
    CloudSettings settings;
    settings.secretId = valueOrEnvironment(parser, kSecretId, "VELNOR_CLOUD_SECRET_ID");
    settings.appId = valueOrEnvironment(parser, kAppId, "VELNOR_CLOUD_APP_ID");
    settings.region = parser.value(kRegion).trimmed();
    if (const QString keyFile = parser.value(kSecretKeyFile); !keyFile.isEmpty()) {
        QFile file(keyFile);
        if (!file.open(QIODevice::ReadOnly))
            return fail(error, QStringLiteral("cannot read --cloud-secret-key-file %1: %2").arg(keyFile, file.errorString()));
        settings.secretKey = QString::fromUtf8(file.read(4096)).trimmed();
    } else {
        settings.secretKey = qEnvironmentVariable("VELNOR_CLOUD_SECRET_KEY").trimmed();
    }
    if (settings.secretId.isEmpty())
        return fail(error, QStringLiteral("the cloud recogniser needs --cloud-secret-id (or VELNOR_CLOUD_SECRET_ID)"));
    if (settings.secretKey.isEmpty())
        return fail(error, QStringLiteral("the cloud recogniser needs its secret key: --cloud-secret-key-file or "
                                          "VELNOR_CLOUD_SECRET_KEY"));
    if (use == Use::Streams && settings.appId.isEmpty())
        return fail(error, QStringLiteral("the cloud recogniser needs --cloud-app-id (or VELNOR_CLOUD_APP_ID)"));

    if (parser.isSet(kApiUrl))
        settings.apiUrl = QUrl(parser.value(kApiUrl), QUrl::StrictMode);
    if (parser.isSet(kRealtimeUrl))
        settings.realtimeUrl = QUrl(parser.value(kRealtimeUrl), QUrl::StrictMode);
    const auto isOneOf = [](const QUrl& url, const char* a, const char* b) {
        return url.isValid() && !url.host().isEmpty() && (url.scheme() == QLatin1String(a) || url.scheme() == QLatin1String(b));
    };
    if (!isOneOf(settings.apiUrl, "https", "http"))
        return fail(error, QStringLiteral("--cloud-api-url must be an http(s) URL, got \"%1\"").arg(parser.value(kApiUrl)));
    if (!isOneOf(settings.realtimeUrl, "wss", "ws"))
        return fail(error,
                    QStringLiteral("--cloud-realtime-url must be a ws(s) URL, got \"%1\"").arg(parser.value(kRealtimeUrl)));
    if (parser.isSet(kMaxRequests)) {
        bool ok = false;
        settings.maxRequests = parser.value(kMaxRequests).toInt(&ok);
        if (!ok || settings.maxRequests < 1 || settings.maxRequests > 256)
            return fail(error, QStringLiteral("--cloud-max-requests must be 1 to 256"));
    }
    return settings;
}

} // namespace velnor::server::cloud
