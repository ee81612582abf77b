#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace velnor::test {

// A velnor-server process for the client's integration tests: started on a
// free loopback port with its own data directory and the test controls.
class BackendServer final {
public:
    ~BackendServer();

    // Starts the binary and waits for its "listening" line; false with
    // error() when it does not come up.
    bool start(const QString& dataDir, const QStringList& extraArgs = {});
    void stop();

    QUrl baseUrl() const { return m_baseUrl; }
    QString error() const { return m_error; }
    QByteArray standardError() const;

    // A test-control call ("/__test/..."); the answer's JSON object, empty on failure.
    QJsonObject control(const QByteArray& method, const QString& pathAndQuery, const QJsonObject& body = {}) const;
    // The last SMS code the server issued for `phone`.
    QString smsCode(const QString& phone) const;
    // The next `count` requests to `path` get the fault described by `fault`.
    bool injectFault(const QString& path, QJsonObject fault, int count = 1) const;
    bool scriptRecognizer(const QStringList& texts) const;

    static QString binaryPath();

private:
    std::unique_ptr<QProcess> m_process;
    QUrl m_baseUrl;
    QString m_error;
};

} // namespace velnor::test
