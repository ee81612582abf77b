#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

// One WebSocket connection attempt, as the recognition client needs it. All
// calls and events happen on the main thread.
class TencentASRSocket {
public:
    struct Events {
        std::function<void()> opened;
        // The connection ended (by either side) with this close code.
        std::function<void(int closeCode)> closed;
        std::function<void(const QString& text)> textReceived;
        std::function<void(const QByteArray& data)> binaryReceived;
        // The connection failed or broke (platform description).
        std::function<void(const QString& description)> failed;
    };

    TencentASRSocket() = default;
    virtual ~TencentASRSocket() = default;
    TencentASRSocket(const TencentASRSocket&) = delete;
    TencentASRSocket& operator=(const TencentASRSocket&) = delete;

    // Why a send did not happen.
    struct SendFailure {
        QString description;
        // The connection is already closing or closed: its close event follows.
        bool connectionGone = false;
    };

    virtual void open(const QUrl& url, Events events) = 0;
    // Sends one binary message (an audio packet).
    virtual std::optional<SendFailure> sendBinary(const QByteArray& data) = 0;
    // Sends one text message (the end of the stream).
    virtual std::optional<SendFailure> sendText(const QString& text) = 0;
    // Closes with the code; no event is delivered afterwards.
    virtual void close(int closeCode) = 0;
};

using TencentASRSocketFactory = std::function<std::unique_ptr<TencentASRSocket>()>;

} // namespace velnor
