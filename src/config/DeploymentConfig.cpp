#include "config/DeploymentConfig.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace velnor {

namespace {

void overrideString(QString& field, const QSettings* ini, const char* iniKey, const QProcessEnvironment& env,
                    const char* envName)
{
    if (ini) {
        const QVariant value = ini->value(QLatin1String(iniKey));
        if (value.isValid() && !value.toString().isEmpty())
            field = value.toString();
    }
    const QString fromEnv = env.value(QLatin1String(envName));
    if (!fromEnv.isEmpty())
        field = fromEnv;
}

void overrideUrl(QUrl& field, const QSettings* ini, const char* iniKey, const QProcessEnvironment& env,
                 const char* envName)
{
    QString text = field.toString();
    overrideString(text, ini, iniKey, env, envName);
    const QUrl url(text);
    if (url.isValid())
        field = url;
}

bool isTrue(const QString& value)
{
    const QString normalized = value.trimmed().toLower();
    return normalized == QLatin1String("1") || normalized == QLatin1String("true");
}

// Empty when `scheme` to `host` is acceptable.
std::optional<QString> cleartextRefusal(const QString& what, const QString& scheme, const QString& host,
                                        const QString& secureScheme, const QString& clearScheme, bool allowInsecure)
{
    if (scheme == secureScheme)
        return std::nullopt;
    if (scheme != clearScheme) {
        return QStringLiteral("the %1 must use %2:// (or %3:// to this computer), not \"%4\"")
            .arg(what, secureScheme, clearScheme, scheme);
    }
    if (host.isEmpty())
        return QStringLiteral("the %1 has no host").arg(what);
    if (isLoopbackHost(host) || allowInsecure)
        return std::nullopt;
    return QStringLiteral("refusing to send the session token and audio in clear text to %1: the %2 uses %3://. "
                          "Use %4://, or allow insecure transport explicitly with allow_insecure = true in %5 "
                          "or VELNOR_ALLOW_INSECURE=1")
        .arg(host, what, clearScheme, secureScheme, DeploymentConfig::userFilePath());
}

} // namespace

QString DeploymentConfig::userFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("velnor/deployment.conf"));
}

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

std::optional<QString> insecureTransportError(const DeploymentConfig& deployment)
{
    const QUrl& backend = deployment.backendBaseUrl;
    if (auto refusal = cleartextRefusal(QStringLiteral("backend URL"), backend.scheme(), backend.host(),
                                        QStringLiteral("https"), QStringLiteral("http"),
                                        deployment.allowInsecureTransport))
        return refusal;
    // The host may carry a port ("host:port", "[::1]:port").
    const QString realtimeHost = QUrl(QStringLiteral("ws://") + deployment.realtimeHost).host();
    const QString realtimeScheme =
        deployment.realtimeScheme.isEmpty() ? QStringLiteral("wss") : deployment.realtimeScheme.toLower();
    return cleartextRefusal(QStringLiteral("real-time recogniser"), realtimeScheme, realtimeHost, QStringLiteral("wss"),
                            QStringLiteral("ws"), deployment.allowInsecureTransport);
}

DeploymentConfig DeploymentConfig::load(const QString& iniFilePath, const QProcessEnvironment& environment)
{
    DeploymentConfig config;
    std::unique_ptr<QSettings> ini;
    if (!iniFilePath.isEmpty() && QFile::exists(iniFilePath))
        ini = std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat);
    const QSettings* source = ini.get();

    overrideUrl(config.backendBaseUrl, source, "backend/base_url", environment, "VELNOR_BACKEND_URL");
    overrideString(config.realtimeScheme, source, "realtime/scheme", environment, "VELNOR_REALTIME_SCHEME");
    overrideString(config.realtimeHost, source, "realtime/host", environment, "VELNOR_REALTIME_HOST");
    overrideString(config.realtimeCaCertificateFile, source, "realtime/ca_certificate", environment,
                   "VELNOR_REALTIME_CA_CERT");
    overrideString(config.asrAppId, source, "realtime/app_id", environment, "VELNOR_ASR_APP_ID");
    overrideString(config.asrSecretId, source, "realtime/secret_id", environment, "VELNOR_ASR_SECRET_ID");
    overrideString(config.asrSecretKey, source, "realtime/secret_key", environment, "VELNOR_ASR_SECRET_KEY");
    overrideUrl(config.websiteUrl, source, "web/url", environment, "VELNOR_WEB_URL");
    QString allowInsecure;
    overrideString(allowInsecure, source, "allow_insecure", environment, "VELNOR_ALLOW_INSECURE");
    config.allowInsecureTransport = isTrue(allowInsecure);
    return config;
}

} // namespace velnor
