#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace velnor::test {

// A velnor-server process on a free loopback port with test controls and
// made-up real-time credentials (the same ones the client is given).
class RealtimeServer final {
public:
    static constexpr const char* appId = "1300000042";
    static constexpr const char* secretId = "AKIDintegration0000000000000000000000";
    static constexpr const char* secretKey = "integrationsecretkey000000000000";

    // Starts it; with a certificate and key it serves wss://. Empty error = up.
    QString start(const QString& dataDir, const QString& tlsCert = {}, const QString& tlsKey = {});
    ~RealtimeServer();

    quint16 port() const { return m_port; }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString scheme() const { return m_tls ? QStringLiteral("wss") : QStringLiteral("ws"); }

    // Test controls (plain or TLS, trusting `caFile`).
    QJsonObject post(const QString& path, const QJsonObject& body);
    QJsonArray connections();

    void setCaFile(const QString& file) { m_caFile = file; }

private:
    QJsonObject request(const QString& method, const QString& path, const QByteArray& body);

    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    bool m_tls = false;
    QString m_caFile;
};

// Spins the event loop until `done` or the timeout; true when done.
bool waitFor(const std::function<bool()>& done, int timeoutMs);

// A self-signed certificate for 127.0.0.1 made with the openssl command.
// Empty error = written to dir/cert.pem and dir/key.pem.
QString makeSelfSignedCertificate(const QString& dir);

// espeak-ng speaking `text` into a WAV file; empty error = written.
QString synthesizeSpeech(const QString& text, const QString& wavPath);

QString serverExecutable();

} // namespace velnor::test
