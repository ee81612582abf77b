#pragma once

#include <QByteArray>
#include <QHttpServer>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

class QHttpServerRequest;
class QHttpServerResponder;

namespace velnor::test {

// The vendor's one-sentence recognition API on 127.0.0.1, in the test's own
// process: checks each call's TC3 signature with the key it was given, answers
// as told and records what it got.
class FakeSentenceApi final {
public:
    enum class Answer { Text, Huge, Silent };

    struct Call {
        bool signatureOk = false;
        QString engine;
        QString voiceFormat;
        int sourceType = -1;
        QString hotWords;
        qint64 dataLen = -1;
        QByteArray pcm;
    };

    FakeSentenceApi(QString secretId, QString secretKey);
    ~FakeSentenceApi();

    bool start();
    QUrl url() const;

    Answer answer = Answer::Text;
    QString text;
    int delayMs = 0; // before each answer

    const std::vector<Call>& calls() const { return m_calls; }
    int mostAtOnce() const { return m_mostAtOnce; }

private:
    void onCall(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    bool signatureHolds(const QHttpServerRequest& request) const;

    QString m_secretId;
    QString m_secretKey;
    QHttpServer m_http;
    quint16 m_port = 0;
    std::vector<Call> m_calls;
    std::vector<std::shared_ptr<QHttpServerResponder>> m_unanswered;
    int m_atOnce = 0;
    int m_mostAtOnce = 0;
};

} // namespace velnor::test
