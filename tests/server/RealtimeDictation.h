#pragma once

#include "recognition/cloud/RelayProtocol.h"
#include "support/EventLoopWait.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

namespace velnor::server::test {

// One streamed dictation as a client sees it.
struct Dictation {
    QString text;            // the final segments, joined
    QString failure;         // the error message, or why none came
    int errorCode = 0;
};

// A client of the real-time endpoint, signing its URLs like the app: 200 ms
// of audio a message from the moment the socket opens (without waiting for
// the handshake), here at twice real time, then the end message.
class RealtimeDictationClient {
public:
    RealtimeDictationClient(QString appId, QString secretId, const QByteArray& secretKey)
        : m_settings{.secretId = std::move(secretId), .secretKey = QString::fromUtf8(secretKey),
                     .appId = std::move(appId), .region = {}}
    {
    }

    // Connects, streams `pcm` and the end message, and waits for the final message (or an error).
    Dictation dictate(const QUrl& server, const QByteArray& pcm, int timeoutMs = 60000)
    {
        Dictation dictation;
        bool finished = false;
        qsizetype sent = 0;
        QWebSocket socket;
        QTimer pacer;
        const auto sendNext = [&] {
            if (sent >= pcm.size()) {
                pacer.stop();
                socket.sendTextMessage(QStringLiteral(R"({"type":"end"})"));
                return;
            }
            socket.sendBinaryMessage(pcm.mid(sent, 6400));
            sent += 6400;
        };
        QObject::connect(&pacer, &QTimer::timeout, &socket, sendNext);
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [&](const QString& message) {
            const QJsonObject json = QJsonDocument::fromJson(message.toUtf8()).object();
            if (json.value(QStringLiteral("code")).toInt(-1) != 0) {
                dictation.failure = message;
                dictation.errorCode = json.value(QStringLiteral("code")).toInt(-1);
                finished = true;
            } else if (json.value(QStringLiteral("final")).toInt() == 1) {
                finished = true;
            } else if (const QJsonObject result = json.value(QStringLiteral("result")).toObject();
                       result.value(QStringLiteral("slice_type")).toInt() == 2) {
                dictation.text += QLatin1Char(' ') + result.value(QStringLiteral("voice_text_str")).toString();
            }
        });
        QObject::connect(&socket, &QWebSocket::connected, &pacer, [&] {
            pacer.start(100);
            sendNext();
        });
        // Signed as the cloud relay signs its upstream URLs.
        cloud::CloudSettings settings = m_settings;
        settings.realtimeUrl = server.resolved(QUrl(QStringLiteral("/asr/v2")));
        settings.realtimeUrl.setScheme(QStringLiteral("ws"));
        ++m_voices;
        socket.open(cloud::RelayProtocol::signedUrl(settings, QStringLiteral("voice-%1").arg(m_voices),
                                                    {QStringLiteral("en"), {}}, QDateTime::currentSecsSinceEpoch(),
                                                    quint32(m_voices)));
        if (!velnor::test::waitUntil([&] { return finished; }, timeoutMs))
            dictation.failure = QStringLiteral("no final message");
        dictation.text = dictation.text.simplified();
        return dictation;
    }

private:
    cloud::CloudSettings m_settings;
    int m_voices = 0;
};

} // namespace velnor::server::test
