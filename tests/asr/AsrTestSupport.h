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

#include <QFile>
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
    int drain()
    {
        for (int ran = 0;; ++ran) {
            std::unique_lock lock(m_mutex);
            if (m_work.empty())
                return ran;
            auto work = std::move(m_work.front());
            m_work.pop_front();
            lock.unlock();
            work();
        }
    }

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

// What the client owns: records into a FakeSocket the hub keeps.
class FakeSocketHandle final : public TencentASRSocket {
public:
    explicit FakeSocketHandle(std::shared_ptr<FakeSocket> socket)
        : m_socket(std::move(socket))
    {
    }
    void open(const QUrl& url, Events events) override
    {
        m_socket->url = url;
        m_socket->events = std::move(events);
    }
    std::optional<SendFailure> sendBinary(const QByteArray& data) override { return record(data); }
    std::optional<SendFailure> sendText(const QString& text) override { return record("TEXT:" + text.toUtf8()); }
    void close(int closeCode) override { m_socket->closedWith = closeCode; }

private:
    std::optional<SendFailure> record(const QByteArray& frame)
    {
        if (auto failure = std::exchange(m_socket->failNextSend, std::nullopt))
            return failure;
        m_socket->sent.append(frame);
        return std::nullopt;
    }

    std::shared_ptr<FakeSocket> m_socket;
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
inline QString resultMessage(qint64 sliceType, qint64 index, const QString& text)
{
    return QStringLiteral(R"({"code":0,"message":"success","voice_id":"v1","result":{"slice_type":%1,"index":%2,)"
                          R"("start_time":%3,"end_time":%4,"voice_text_str":"%5","word_size":0}})")
        .arg(sliceType)
        .arg(index)
        .arg(index * 1000)
        .arg(index * 1000 + 500)
        .arg(text);
}

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
        return TencentASREnvironment{scheduler, mainQueue, pacer, log.recognitionLogger(), signature, [this] {
                                         sockets.append(std::make_shared<FakeSocket>());
                                         return std::unique_ptr<TencentASRSocket>(std::make_unique<FakeSocketHandle>(sockets.last()));
                                     }};
    }
    // Drains main-thread hops until quiet.
    int drain() { return mainQueue.drain(); }
    test::FakeSocket& socket() { return *sockets.last(); }
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
    // Every socket the client made, oldest first, kept after the client
    // dropped its handle, so tests can examine them afterwards.
    QList<std::shared_ptr<FakeSocket>> sockets;
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
inline QStringList realtimeServerArgs(const QString& dataDir)
{
    const QString keyPath = dataDir + QStringLiteral("/asr.key");
    QFile keyFile(keyPath);
    if (keyFile.open(QIODevice::WriteOnly))
        keyFile.write(QByteArray(RealtimeCredentials::secretKey) + '\n');
    return {QStringLiteral("--asr-app-id"), QLatin1String(RealtimeCredentials::appId),
            QStringLiteral("--asr-secret-id"), QLatin1String(RealtimeCredentials::secretId),
            QStringLiteral("--asr-secret-key-file"), keyPath};
}

} // namespace velnor::test
