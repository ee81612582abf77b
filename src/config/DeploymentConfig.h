#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

namespace velnor {

// Where the app's services live and the recogniser's credentials. Read from
// an INI file (Linux: $XDG_CONFIG_HOME/velnor/deployment.conf) and then from
// VELNOR_* environment variables, which win. Nothing here is compiled in
// except the defaults that point at a local velnor-server.
struct DeploymentConfig {
    // Backend HTTP API base URL (paths such as "/qasr/adjust" are appended).
    QUrl backendBaseUrl{QStringLiteral("http://127.0.0.1:18470")};
    // Real-time recogniser (velnor-server serves it on its HTTP port):
    // scheme ("wss" or "ws") and host[:port]; the host
    // is also part of the signed text.
    QString realtimeScheme{QStringLiteral("ws")};
    QString realtimeHost{QStringLiteral("127.0.0.1:18470")};
    // Extra CA certificate (PEM file) trusted for wss:// to the recogniser.
    QString realtimeCaCertificateFile;
    QString asrAppId;
    QString asrSecretId;
    QString asrSecretKey;
    // The product's web pages (help, terms, privacy).
    QUrl websiteUrl{QStringLiteral("http://127.0.0.1:18470/")};

    // Keys of the INI file ([backend] base_url, [realtime] scheme/host/
    // ca_certificate/app_id/secret_id/secret_key, [web] url) and the matching
    // environment variables VELNOR_BACKEND_URL, VELNOR_REALTIME_SCHEME,
    // VELNOR_REALTIME_HOST, VELNOR_REALTIME_CA_CERT, VELNOR_ASR_APP_ID,
    // VELNOR_ASR_SECRET_ID, VELNOR_ASR_SECRET_KEY, VELNOR_WEB_URL.
    static DeploymentConfig load(const QString& iniFilePath, const QProcessEnvironment& environment);
};

} // namespace velnor
