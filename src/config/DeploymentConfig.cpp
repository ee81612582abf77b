#include "config/DeploymentConfig.h"

#include <QFile>
#include <QSettings>

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

} // namespace

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
    return config;
}

} // namespace velnor
