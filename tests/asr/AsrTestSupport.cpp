#include "AsrTestSupport.h"

#include <QFile>

namespace velnor::test {

int ManualMainQueue::drain()
{
    int ran = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_mutex);
            if (m_work.empty())
                return ran;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
        ++ran;
    }
}

namespace {

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

} // namespace

TencentASRSocketFactory FakeSocketHub::factory()
{
    return [this]() -> std::unique_ptr<TencentASRSocket> {
        sockets.append(std::make_shared<FakeSocket>());
        return std::make_unique<FakeSocketHandle>(sockets.last());
    };
}

QStringList realtimeServerArgs(const QString& dataDir)
{
    const QString keyPath = dataDir + QStringLiteral("/asr.key");
    QFile keyFile(keyPath);
    if (keyFile.open(QIODevice::WriteOnly))
        keyFile.write(QByteArray(RealtimeCredentials::secretKey) + '\n');
    return {QStringLiteral("--asr-app-id"), QLatin1String(RealtimeCredentials::appId),
            QStringLiteral("--asr-secret-id"), QLatin1String(RealtimeCredentials::secretId),
            QStringLiteral("--asr-secret-key-file"), keyPath};
}

QString resultMessage(qint64 sliceType, qint64 index, const QString& text)
{
    return QStringLiteral(R"({"code":0,"message":"success","voice_id":"v1","result":{"slice_type":%1,"index":%2,)"
                          R"("start_time":%3,"end_time":%4,"voice_text_str":"%5","word_size":0}})")
        .arg(sliceType)
        .arg(index)
        .arg(index * 1000)
        .arg(index * 1000 + 500)
        .arg(text);
}

} // namespace velnor::test
