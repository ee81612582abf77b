#pragma once

#include "recognition/Recognizer.h"

#include <QByteArrayList>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <memory>

class QWebSocket;

namespace velnor::server::cloud {

// One relayed stream: the client's audio and end message go upstream (audio
// that arrives before the upstream handshake waits), every upstream message
// comes back as events. Reports exactly one of Finished or Failed, last.
class CloudRelayStream final : public QObject, public StreamRecognition {
public:
    CloudRelayStream(const QUrl& upstream, int quietLimitMs, Sink sink);
    ~CloudRelayStream() override;

    void push(QByteArray pcm) override;
    void finish() override;

private:
    void onText(const QString& message);
    void onClosed();
    void onSocketError();
    void sendEnd();
    // The stream's last word: nothing is said or sent after it.
    void end(const StreamEvent& event);
    void fail(const QString& why);

    std::unique_ptr<QWebSocket> m_socket;
    Sink m_sink;
    QTimer m_quiet;
    QByteArrayList m_waiting; // audio pushed before the upstream handshake
    bool m_connected = false;
    bool m_ready = false;
    bool m_finishing = false;
    bool m_ended = false;
};

} // namespace velnor::server::cloud
