#pragma once

#include "asr/TencentASRSocket.h"

#include <QList>
#include <QSslCertificate>

#include <memory>

class QWebSocket;

namespace velnor {

// TencentASRSocket on QWebSocket. wss:// verifies the server's certificate
// against the system's CAs plus the extra ones given (a private CA of a
// self-hosted recogniser).
class QtWebSocketTransport final : public TencentASRSocket {
public:
    explicit QtWebSocketTransport(QList<QSslCertificate> extraCaCertificates = {});
    ~QtWebSocketTransport() override;

    void open(const QUrl& url, Events events) override;
    std::optional<SendFailure> sendBinary(const QByteArray& data) override;
    std::optional<SendFailure> sendText(const QString& text) override;
    void close(int closeCode) override;

    // Reads the PEM file (empty path: none); the error text when it is unusable.
    static std::optional<QString> loadCaCertificates(const QString& pemFile, QList<QSslCertificate>* out);
    static TencentASRSocketFactory factory(QList<QSslCertificate> extraCaCertificates);

private:
    void release();
    std::optional<SendFailure> checkConnected() const;
    std::optional<SendFailure> checkWritten(qint64 written, qint64 expected) const;

    QList<QSslCertificate> m_extraCa;
    QWebSocket* m_socket = nullptr;
};

} // namespace velnor
