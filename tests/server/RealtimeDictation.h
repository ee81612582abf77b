#pragma once

#include "support/EventLoopWait.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QMessageAuthenticationCode>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

namespace velnor::server::test {

// One streamed dictation as a client sees it.
struct Dictation {
    qint64 handshakeMs = -1; // socket open to the server's first message
    QString text;            // the final segments, joined
    QString failure;         // the error message, or why none came
    int errorCode = 0;
};

// A client of the real-time endpoint, signing its URLs like the app: 200 ms
// of audio a message from the moment the socket opens (without waiting for
// the handshake), here at twice real time, then the end message.
class RealtimeDictationClient {
public:
    static constexpr int kPacketBytes = 6400;
    static constexpr int kPacketIntervalMs = 100;

    RealtimeDictationClient(QString appId, QString secretId, QByteArray secretKey)
        : m_appId(std::move(appId))
        , m_secretId(std::move(secretId))
        , m_secretKey(std::move(secretKey))
    {
    }

    QUrl signedUrl(const QUrl& server, const QString& engineModel = QStringLiteral("16k_en"))
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const QString path = QStringLiteral("/asr/v2/") + m_appId;
        const QMap<QString, QString> params{{QStringLiteral("secretid"), m_secretId},
                                            {QStringLiteral("timestamp"), QString::number(now)},
                                            {QStringLiteral("expired"), QString::number(now + 3600)},
                                            {QStringLiteral("nonce"), QString::number(++m_voices)},
                                            {QStringLiteral("engine_model_type"), engineModel},
                                            {QStringLiteral("voice_id"), QStringLiteral("voice-%1").arg(m_voices)},
                                            {QStringLiteral("voice_format"), QStringLiteral("1")}};
        QStringList signedPairs;
        QUrlQuery query;
        for (auto it = params.cbegin(); it != params.cend(); ++it) {
            signedPairs << it.key() + QLatin1Char('=') + it.value();
            query.addQueryItem(it.key(), it.value());
        }
        const QString text = server.authority() + path + QLatin1Char('?') + signedPairs.join(QLatin1Char('&'));
        const QByteArray signature =
            QMessageAuthenticationCode::hash(text.toUtf8(), m_secretKey, QCryptographicHash::Sha1).toBase64();
        query.addQueryItem(QStringLiteral("signature"), QString::fromLatin1(signature.toPercentEncoding()));
        QUrl url = server;
        url.setScheme(QStringLiteral("ws"));
        url.setPath(path);
        url.setQuery(query);
        return url;
    }

    // Connects, streams `pcm` and the end message, and waits for the final message (or an error).
    Dictation dictate(const QUrl& server, const QByteArray& pcm, int timeoutMs = 60000)
    {
        Dictation dictation;
        QStringList segments;
        bool finished = false;
        qsizetype sent = 0;
        QWebSocket socket;
        QTimer pacer;
        pacer.setInterval(kPacketIntervalMs);
        const auto sendNext = [&] {
            if (sent >= pcm.size()) {
                pacer.stop();
                socket.sendTextMessage(QStringLiteral(R"({"type":"end"})"));
                return;
            }
            socket.sendBinaryMessage(pcm.mid(sent, kPacketBytes));
            sent += kPacketBytes;
        };
        QObject::connect(&pacer, &QTimer::timeout, &socket, sendNext);
        QElapsedTimer clock;
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& message) {
            const QJsonObject json = QJsonDocument::fromJson(message.toUtf8()).object();
            if (json.value(QStringLiteral("code")).toInt(-1) != 0) {
                dictation.failure = message;
                dictation.errorCode = json.value(QStringLiteral("code")).toInt(-1);
                finished = true;
            } else if (dictation.handshakeMs < 0) {
                dictation.handshakeMs = clock.elapsed();
            } else if (json.value(QStringLiteral("final")).toInt() == 1) {
                finished = true;
            } else if (const QJsonObject result = json.value(QStringLiteral("result")).toObject();
                       result.value(QStringLiteral("slice_type")).toInt() == 2) {
                segments << result.value(QStringLiteral("voice_text_str")).toString();
            }
        });
        QObject::connect(&socket, &QWebSocket::connected, &pacer, [&] {
            clock.start();
            pacer.start();
            sendNext();
        });
        socket.open(signedUrl(server));
        if (!velnor::test::waitUntil([&] { return finished; }, timeoutMs))
            dictation.failure = QStringLiteral("no final message");
        dictation.text = segments.join(QLatin1Char(' ')).simplified();
        return dictation;
    }

private:
    QString m_appId;
    QString m_secretId;
    QByteArray m_secretKey;
    int m_voices = 0;
};

} // namespace velnor::server::test
