#include "routes/TestControlRoutes.h"

#include "accounts/SmsCodeIssuer.h"
#include "http/ApiRouter.h"
#include "http/Envelope.h"
#include "http/FaultInjector.h"
#include "recognition/RecognitionScript.h"

#include <QJsonArray>
#include <QJsonObject>

namespace velnor::server {

TestControlRoutes::TestControlRoutes(ApiRouter& router, SmsCodeIssuer& codes, RecognitionScript& script,
                                     FaultInjector& faults)
    : m_codes(codes)
    , m_script(script)
    , m_faults(faults)
{
    using Method = QHttpServerRequest::Method;
    router.addLoopbackOnly(Method::Get, QStringLiteral("/__test/sms-code"), [this](const ApiRequest& r) { return smsCode(r); });
    router.addLoopbackOnly(Method::Post, QStringLiteral("/__test/recognizer-script"),
                           [this](const ApiRequest& r) { return recognizerScript(r); });
    router.addLoopbackOnly(Method::Post, QStringLiteral("/__test/fault"), [this](const ApiRequest& r) { return fault(r); });
    router.addLoopbackOnly(Method::Post, QStringLiteral("/__test/reset"), [this](const ApiRequest& r) { return reset(r); });
}

ApiReply TestControlRoutes::smsCode(const ApiRequest& request)
{
    const QString phone = request.query.queryItemValue(QStringLiteral("phone"), QUrl::FullyDecoded);
    const std::optional<QString> code = m_codes.lastCode(phone);
    if (!code)
        return Envelope::failure(Envelope::NotFound, QStringLiteral("no code was issued for %1").arg(phone));
    return Envelope::success(QJsonObject{{QStringLiteral("code"), *code}});
}

ApiReply TestControlRoutes::recognizerScript(const ApiRequest& request)
{
    QString error;
    const std::optional<QJsonObject> body = request.jsonObject(&error);
    if (!body)
        return Envelope::failure(Envelope::BadRequest, error);
    const QJsonValue texts = body->value(QStringLiteral("texts"));
    if (!texts.isArray())
        return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"texts\" must be an array of strings"));
    QStringList list;
    for (const QJsonValue& text : texts.toArray()) {
        if (!text.isString())
            return Envelope::failure(Envelope::BadRequest, QStringLiteral("\"texts\" must be an array of strings"));
        list << text.toString();
    }
    m_script.set(list);
    return Envelope::success(true);
}

ApiReply TestControlRoutes::fault(const ApiRequest& request)
{
    QString error;
    const std::optional<QJsonObject> body = request.jsonObject(&error);
    if (!body)
        return Envelope::failure(Envelope::BadRequest, error);
    QString path;
    const std::optional<Fault> fault = Fault::fromJson(*body, &path, &error);
    if (!fault)
        return Envelope::failure(Envelope::BadRequest, error);
    m_faults.arm(path, *fault);
    return Envelope::success(true);
}

ApiReply TestControlRoutes::reset(const ApiRequest&)
{
    m_script.clear();
    m_faults.clear();
    return Envelope::success(true);
}

} // namespace velnor::server
