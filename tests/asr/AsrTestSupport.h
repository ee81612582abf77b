#pragma once

#include "asr/HotWordSource.h"
#include "asr/MainQueue.h"
#include "asr/Pacer.h"
#include "asr/TencentASREnvironment.h"
#include "asr/TencentASRService.h"
#include "asr/TencentASRSignature.h"
#include "asr/TencentASRSocket.h"
#include "core/Clock.h"
#include "core/ManualScheduler.h"
#include "support/LogCapture.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <memory>
#include <mutex>

namespace velnor::test {

// Main-thread hops collected from any thread; the test runs them with drain().
class ManualMainQueue final : public MainQueue {
public:
    void post(std::function<void()> work) override
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    // Runs queued work (and work it queues) until none is left; returns the count.
    int drain();

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_work;
};

// Virtual monotonic time: sleeping jumps the clock.
class FakePacer final : public Pacer {
public:
    TimePoint now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    void sleepUntil(TimePoint when) override;

private:
    mutable std::mutex m_mutex;
    TimePoint m_now{std::chrono::seconds(1000)};
};

// Records what the client did with its connection; tests fire the events.
class FakeSocket final : public TencentASRSocket {
public:
    void open(const QUrl& openedUrl, Events openedEvents) override
    {
        url = openedUrl;
        events = std::move(openedEvents);
    }
    std::optional<SendFailure> sendBinary(const QByteArray& data) override { return record(data); }
    // Recorded in `sent` as "TEXT:" and the message's UTF-8.
    std::optional<SendFailure> sendText(const QString& text) override { return record("TEXT:" + text.toUtf8()); }
    void close(int closeCode) override { closedWith = closeCode; }

    QUrl url;
    Events events;
    QList<QByteArray> sent;
    std::optional<int> closedWith;
    std::optional<SendFailure> failNextSend;

private:
    std::optional<SendFailure> record(const QByteArray& frame);
};

// The end of a stream as FakeSocket records it.
inline QByteArray endOfStream()
{
    return QByteArrayLiteral(R"(TEXT:{"type":"end"})");
}

// Every socket the factory made, oldest first. The hub keeps them alive
// after the client dropped its handle, so tests can examine them afterwards.
struct FakeSocketHub {
    QList<std::shared_ptr<FakeSocket>> sockets;
    TencentASRSocketFactory factory();
    FakeSocket& last() { return *sockets.last(); }
};

class FakeHotWords final : public HotWordSource {
public:
    QList<HotWordEntry> words;
    QList<HotWordEntry> cachedHotWords() const override { return words; }
};

// The server's first message on a new connection.
QString handshakeMessage(const QString& voiceId = QStringLiteral("v1"));
QString resultMessage(qint64 sliceType, qint64 index, const QString& text, bool final = false);

// A complete fake environment for the client, the service and the cached client.
struct AsrHarness {
    explicit AsrHarness(QString host = QStringLiteral("asr.example.test"));

    TencentASRConfig config() const;
    TencentASREnvironment environment();
    // Drains main-thread hops until quiet.
    int drain() { return mainQueue.drain(); }
    test::FakeSocket& socket() { return sockets.last(); }
    // The newest connection opens and the server's handshake arrives.
    void openAndHandshake()
    {
        socket().events.opened();
        socket().events.textReceived(handshakeMessage());
    }

    ManualScheduler scheduler;
    ManualMainQueue mainQueue;
    FakePacer pacer;
    LogCapture log;
    ManualClock clock;
    FakeHotWords hotWords;
    FakeSocketHub sockets;
    TencentASRSignature signature;
};

// Records every service report as "kind:text".
struct RecordingServiceDelegate final : TencentASRServiceDelegate {
    void tencentASRServiceDidChangeConnectionState(TencentASRService&, const TencentASRConnectionState& state) override
    {
        events.append("state:" + state.statusText());
    }
    void tencentASRServiceDidReceiveResult(TencentASRService&, const TencentASRResult& result) override
    {
        events.append("result:" + result.voiceTextStr);
    }
    void tencentASRServiceDidReceivePartialResult(TencentASRService&, const QString& text) override
    {
        events.append("partial:" + text);
    }
    void tencentASRServiceDidReceiveFinalResult(TencentASRService&, const QString& text) override
    {
        events.append("final:" + text);
    }
    void tencentASRServiceDidEncounterError(TencentASRService&, const TencentASRError& error) override
    {
        events.append("error:" + error.description());
    }
    void tencentASRServiceDidComplete(TencentASRService&) override { events.append("complete"); }

    QStringList events;
};

// Made-up real-time credentials that a test velnor-server and the client share.
struct RealtimeCredentials {
    static constexpr const char* appId = "1300000042";
    static constexpr const char* secretId = "AKIDintegration0000000000000000000000";
    static constexpr const char* secretKey = "integrationsecretkey000000000000";
};

// velnor-server arguments giving it those credentials. The key travels in a
// file written to `dataDir`, not on the command line (which any local user can read).
QStringList realtimeServerArgs(const QString& dataDir);

} // namespace velnor::test
