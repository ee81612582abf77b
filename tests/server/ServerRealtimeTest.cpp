// The real-time endpoint of a real velnor-server on 127.0.0.1, decoding
// flite's speech with the general English language model: the same audio
// gives the same text on every stream, whichever decoder serves it.
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/SpeechFixtures.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QMap>
#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

const char* const kAppId = "1300000077";
const char* const kSecretId = "AKIDrealtimestability000000000000000";
const char* const kSecretKey = "realtimestabilitykey000000000000";
const QString kSentence = QStringLiteral("the meeting starts at nine tomorrow morning");
// Like the recogniser vendor's SDK: 200 ms of audio a message, from the moment
// the socket opens (without waiting for the handshake), here at twice real time.
constexpr int kPacketBytes = 6400;
constexpr int kPacketIntervalMs = 100;

// One streamed dictation as a client sees it.
struct Dictation {
    qint64 handshakeMs = -1; // socket open to the server's first message
    QString text;            // the final segments, joined
    QString failure;
};

class ServerRealtime : public ::testing::Test {
protected:
    void startServer()
    {
        const QString keyPath = dir.filePath("asr.key");
        QFile key(keyPath);
        ASSERT_TRUE(key.open(QIODevice::WriteOnly));
        key.write(QByteArray(kSecretKey) + '\n');
        key.close();
        ASSERT_TRUE(server.start(dir.path(), {QStringLiteral("--asr-app-id"), QLatin1String(kAppId),
                                              QStringLiteral("--asr-secret-id"), QLatin1String(kSecretId),
                                              QStringLiteral("--asr-secret-key-file"), keyPath}))
            << server.error().toStdString();
    }

    QUrl signedUrl()
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const QString path = QStringLiteral("/asr/v2/") + QLatin1String(kAppId);
        const QMap<QString, QString> params{
            {QStringLiteral("secretid"), QLatin1String(kSecretId)},
            {QStringLiteral("timestamp"), QString::number(now)},
            {QStringLiteral("expired"), QString::number(now + 3600)},
            {QStringLiteral("nonce"), QString::number(++m_voices)},
            {QStringLiteral("engine_model_type"), QStringLiteral("16k_en")},
            {QStringLiteral("voice_id"), QStringLiteral("stability-%1").arg(m_voices)},
            {QStringLiteral("voice_format"), QStringLiteral("1")}};
        QStringList signedPairs;
        QUrlQuery query;
        for (auto it = params.cbegin(); it != params.cend(); ++it) {
            signedPairs << it.key() + QLatin1Char('=') + it.value();
            query.addQueryItem(it.key(), it.value());
        }
        const QString text = server.url().authority() + path + QLatin1Char('?') + signedPairs.join(QLatin1Char('&'));
        const QByteArray signature =
            QMessageAuthenticationCode::hash(text.toUtf8(), kSecretKey, QCryptographicHash::Sha1).toBase64();
        query.addQueryItem(QStringLiteral("signature"), QString::fromLatin1(signature.toPercentEncoding()));
        QUrl url = server.url(path);
        url.setScheme(QStringLiteral("ws"));
        url.setQuery(query);
        return url;
    }

    // Connects, streams `pcm` and the end message, and waits for the final message.
    Dictation dictate(const QByteArray& pcm)
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
        socket.open(signedUrl());
        if (!test::waitUntil([&] { return finished; }, 60000))
            dictation.failure = QStringLiteral("no final message");
        dictation.text = segments.join(QLatin1Char(' ')).simplified();
        return dictation;
    }

    // The clean recording of the sentence, 16 kHz mono 16-bit.
    QByteArray speech()
    {
        test::SpeechFixtures fixtures(dir.path(), test::SpeechFixtures::Voice::FliteSlt);
        const std::vector<std::int16_t> samples = fixtures.pcm16k(kSentence);
        EXPECT_FALSE(samples.empty()) << fixtures.error().toStdString();
        return QByteArray(reinterpret_cast<const char*>(samples.data()), qsizetype(samples.size() * 2));
    }

    test::TempDir dir;
    test::ServerProcess server;

private:
    int m_voices = 0;
};

// The first stream after start, served by the decoder loaded in the
// background, and the later ones, served by a decoder already used, agree.
TEST_F(ServerRealtime, FirstStreamOnThePreloadedDecoderMatchesTheTenth)
{
    const QByteArray pcm = speech();
    startServer();
    // Long enough for the background load to finish: the first stream then takes that decoder.
    test::runEventLoopFor(4000);

    QStringList texts;
    qint64 firstHandshakeMs = -1;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const Dictation dictation = dictate(pcm);
        ASSERT_TRUE(dictation.failure.isEmpty()) << dictation.failure.toStdString();
        texts << dictation.text;
        if (i == 0)
            firstHandshakeMs = dictation.handshakeMs;
    }
    std::printf("heard \"%s\"; handshake %lld ms after the first stream opened\n", qPrintable(texts.first()),
                static_cast<long long>(firstHandshakeMs));
    EXPECT_EQ(texts.first().toStdString(), texts.last().toStdString()) << texts.join(u" | ").toStdString();
    EXPECT_EQ(texts.count(texts.last()), texts.size()) << texts.join(u" | ").toStdString();
    EXPECT_TRUE(texts.last().contains(QStringLiteral("tomorrow morning"))) << texts.last().toStdString();
}

// A stream that arrives before the background load is done loads its own decoder: same text.
TEST_F(ServerRealtime, FirstStreamBeforeThePreloadMatchesTheNext)
{
    const QByteArray pcm = speech();
    startServer();
    const Dictation first = dictate(pcm);
    ASSERT_TRUE(first.failure.isEmpty()) << first.failure.toStdString();
    const Dictation second = dictate(pcm);
    ASSERT_TRUE(second.failure.isEmpty()) << second.failure.toStdString();
    EXPECT_EQ(first.text.toStdString(), second.text.toStdString());
    std::printf("heard \"%s\"; handshake %lld ms after the stream opened\n", qPrintable(first.text),
                static_cast<long long>(first.handshakeMs));
}

} // namespace
} // namespace velnor::server
