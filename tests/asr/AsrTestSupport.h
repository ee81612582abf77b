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

#include <algorithm>

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
    void sleepUntil(TimePoint when) override
    {
        std::lock_guard lock(m_mutex);
        m_now = std::max(m_now, when);
    }

private:
    mutable std::mutex m_mutex;
    TimePoint m_now{std::chrono::seconds(1000)};
};

// What the client did with one connection; tests fire its events. Sent
// text is recorded as "TEXT:" and the message's UTF-8.
struct FakeSocket {
    QUrl url;
    TencentASRSocket::Events events;
    QList<QByteArray> sent;
    std::optional<int> closedWith;
    std::optional<TencentASRSocket::SendFailure> failNextSend;
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
inline QString handshakeMessage()
{
    return QStringLiteral(R"({"code":0,"message":"success","voice_id":"v1"})");
}
QString resultMessage(qint64 sliceType, qint64 index, const QString& text);

// A complete fake environment for the client, the service and the cached client.
struct AsrHarness {
    explicit AsrHarness(QString host = QStringLiteral("asr.example.test"))
        : signature(std::move(host), clock, &hotWords, log.recognitionLogger(), TencentASRSignature::systemRandom())
    {
    }

    TencentASRConfig config() const
    {
        return {.appId = QStringLiteral("1300000000"), .secretId = QStringLiteral("AKIDtestsecretid000000000000000000000"),
                .secretKey = QStringLiteral("testsecretkey0000000000000000000"),
                .baseURL = QStringLiteral("wss://asr.example.test/asr/v2")};
    }
    TencentASREnvironment environment()
    {
        return TencentASREnvironment{scheduler, mainQueue, pacer, log.recognitionLogger(), signature, sockets.factory()};
    }
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
