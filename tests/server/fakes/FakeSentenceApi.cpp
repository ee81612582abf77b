#include "server/fakes/FakeSentenceApi.h"

#include "recognition/cloud/Tc3Signer.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace velnor::test {

namespace {

QByteArray envelope(const QJsonObject& response)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("Response"), response}}).toJson(QJsonDocument::Compact);
}

} // namespace

FakeSentenceApi::FakeSentenceApi(QString secretId, QString secretKey)
    : m_secretId(std::move(secretId))
    , m_secretKey(std::move(secretKey))
{
    m_http.route(QStringLiteral("/"), QHttpServerRequest::Method::Post,
                 [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                     onCall(request, std::move(responder));
                 });
}

FakeSentenceApi::~FakeSentenceApi() = default;

bool FakeSentenceApi::start()
{
    m_port = m_http.listen(QHostAddress::LocalHost, 0);
    return m_port != 0;
}

QUrl FakeSentenceApi::url() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

bool FakeSentenceApi::signatureHolds(const QHttpServerRequest& request) const
{
    using server::cloud::Tc3Signer;
    server::cloud::Tc3Call call;
    call.host = QString::fromUtf8(request.value("host"));
    call.service = QStringLiteral("asr");
    call.action = QString::fromUtf8(request.value("x-tc-action"));
    call.version = QString::fromUtf8(request.value("x-tc-version"));
    call.timestamp = request.value("x-tc-timestamp").toLongLong();
    call.payload = request.body();
    const bool fresh = qAbs(call.timestamp - QDateTime::currentSecsSinceEpoch()) <= 300;
    return fresh && request.value("content-type") == Tc3Signer::kContentType
        && request.value("authorization") == Tc3Signer::authorization(m_secretId, m_secretKey, call);
}

void FakeSentenceApi::onCall(const QHttpServerRequest& httpRequest, QHttpServerResponder&& responder)
{
    const QJsonObject request = QJsonDocument::fromJson(httpRequest.body()).object();
    Call call;
    call.signatureOk = signatureHolds(httpRequest);
    call.engine = request.value(QStringLiteral("EngSerViceType")).toString();
    call.voiceFormat = request.value(QStringLiteral("VoiceFormat")).toString();
    call.sourceType = request.value(QStringLiteral("SourceType")).toInt(-1);
    call.hotWords = request.value(QStringLiteral("HotwordList")).toString();
    call.dataLen = request.value(QStringLiteral("DataLen")).toInteger(-1);
    call.pcm = QByteArray::fromBase64(request.value(QStringLiteral("Data")).toString().toLatin1());
    m_calls.push_back(call);

    QByteArray answerBody;
    if (!call.signatureOk) {
        answerBody = envelope({{QStringLiteral("Error"),
                                QJsonObject{{QStringLiteral("Code"), QStringLiteral("AuthFailure.SignatureFailure")},
                                            {QStringLiteral("Message"), QStringLiteral("The provided credentials could "
                                                                                       "not be validated.")}}},
                               {QStringLiteral("RequestId"), QStringLiteral("fake-refused")}});
    } else if (answer == Answer::Silent) {
        m_unanswered.push_back(std::make_shared<QHttpServerResponder>(std::move(responder)));
        return;
    } else if (answer == Answer::Huge) {
        answerBody = envelope({{QStringLiteral("Result"), QString(3 * 1024 * 1024, QLatin1Char('x'))}});
    } else {
        answerBody = envelope({{QStringLiteral("Result"), text},
                               {QStringLiteral("AudioDuration"), call.pcm.size() / 32},
                               {QStringLiteral("RequestId"), QStringLiteral("fake-%1").arg(m_calls.size())}});
    }

    m_mostAtOnce = std::max(m_mostAtOnce, ++m_atOnce);
    auto kept = std::make_shared<QHttpServerResponder>(std::move(responder));
    QTimer::singleShot(delayMs, &m_http, [this, kept, answerBody] {
        --m_atOnce;
        kept->write(answerBody, "application/json");
    });
}

} // namespace velnor::test
