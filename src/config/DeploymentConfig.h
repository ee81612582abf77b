#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

#include <optional>

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
    // http:// and ws:// to a host other than loopback only when this is set.
    bool allowInsecureTransport = false;

    // Keys of the INI file ([backend] base_url, [realtime] scheme/host/
    // ca_certificate/app_id/secret_id/secret_key, [web] url, allow_insecure
    // at the top) and the matching environment variables VELNOR_BACKEND_URL,
    // VELNOR_REALTIME_SCHEME, VELNOR_REALTIME_HOST, VELNOR_REALTIME_CA_CERT,
    // VELNOR_ASR_APP_ID, VELNOR_ASR_SECRET_ID, VELNOR_ASR_SECRET_KEY,
    // VELNOR_WEB_URL, VELNOR_ALLOW_INSECURE ("1" or "true" allows).
    static DeploymentConfig load(const QString& iniFilePath, const QProcessEnvironment& environment);
    // $XDG_CONFIG_HOME/velnor/deployment.conf (or the platform's equivalent).
    static QString userFilePath();
};

// "localhost" or a loopback address: this computer.
bool isLoopbackHost(const QString& host);

// Why the app must not start with this deployment, or none. The bearer token,
// the signed real-time URL and the audio never cross the network in clear:
// http:// and ws:// are accepted for loopback hosts only, unless the
// deployment explicitly allows insecure transport.
std::optional<QString> insecureTransportError(const DeploymentConfig& deployment);

} // namespace velnor
