#include "http/Envelope.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace velnor::server {

ApiReply Envelope::make(int code, const QString& message, const QJsonValue& data)
{
    const QJsonObject envelope{{QStringLiteral("code"), code}, {QStringLiteral("msg"), message}, {QStringLiteral("data"), data}};
    ApiReply reply;
    reply.body = QJsonDocument(envelope).toJson(QJsonDocument::Compact);
    reply.envelopeCode = code;
    return reply;
}

ApiReply Envelope::success(const QJsonValue& data)
{
    return make(Ok, QStringLiteral("ok"), data);
}

ApiReply Envelope::failure(int code, const QString& message)
{
    return make(code, message, QJsonValue::Null);
}

} // namespace velnor::server
