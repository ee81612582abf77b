#include "AsrTestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

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

void FakePacer::sleepUntil(TimePoint when)
{
    std::lock_guard lock(m_mutex);
    if (when > m_now)
        m_now = when;
}

std::optional<TencentASRSocket::SendFailure> FakeSocket::record(const QByteArray& frame)
{
    if (failNextSend) {
        auto failure = failNextSend;
        failNextSend.reset();
        return failure;
    }
    sent.append(frame);
    return std::nullopt;
}

namespace {

// What the client owns: forwards to a socket the hub keeps.
class FakeSocketHandle final : public TencentASRSocket {
public:
    explicit FakeSocketHandle(std::shared_ptr<FakeSocket> socket)
        : m_socket(std::move(socket))
    {
    }
    void open(const QUrl& url, Events events) override { m_socket->open(url, std::move(events)); }
    std::optional<SendFailure> sendBinary(const QByteArray& data) override { return m_socket->sendBinary(data); }
    std::optional<SendFailure> sendText(const QString& text) override { return m_socket->sendText(text); }
    void close(int closeCode) override { m_socket->close(closeCode); }

private:
    std::shared_ptr<FakeSocket> m_socket;
};

} // namespace

TencentASRSocketFactory FakeSocketHub::factory()
{
    return [this]() -> std::unique_ptr<TencentASRSocket> {
        auto socket = std::make_shared<FakeSocket>();
        sockets.append(socket);
        return std::make_unique<FakeSocketHandle>(socket);
    };
}

AsrHarness::AsrHarness(QString host)
    : signature(std::move(host), clock, &hotWords, log.recognitionLogger(), TencentASRSignature::systemRandom())
{
}

TencentASRConfig AsrHarness::config() const
{
    TencentASRConfig config;
    config.appId = QStringLiteral("1300000000");
    config.secretId = QStringLiteral("AKIDtestsecretid000000000000000000000");
    config.secretKey = QStringLiteral("testsecretkey0000000000000000000");
    config.baseURL = QStringLiteral("wss://asr.example.test/asr/v2");
    return config;
}

TencentASREnvironment AsrHarness::environment()
{
    return TencentASREnvironment{scheduler, mainQueue, pacer, log.recognitionLogger(), signature, sockets.factory()};
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

QString handshakeMessage(const QString& voiceId)
{
    return QStringLiteral(R"({"code":0,"message":"success","voice_id":"%1"})").arg(voiceId);
}

QString resultMessage(qint64 sliceType, qint64 index, const QString& text, bool final)
{
    QJsonObject result{{QStringLiteral("slice_type"), sliceType},   {QStringLiteral("index"), index},
                       {QStringLiteral("start_time"), index * 1000}, {QStringLiteral("end_time"), index * 1000 + 500},
                       {QStringLiteral("voice_text_str"), text},    {QStringLiteral("word_size"), 0}};
    QJsonObject message{{QStringLiteral("code"), 0}, {QStringLiteral("message"), QStringLiteral("success")},
                        {QStringLiteral("voice_id"), QStringLiteral("v1")}, {QStringLiteral("result"), result}};
    if (final)
        message.insert(QStringLiteral("final"), 1);
    return QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

} // namespace velnor::test
