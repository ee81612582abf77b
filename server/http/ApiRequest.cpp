#include "http/ApiRequest.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace velnor::server {

ApiRequest ApiRequest::from(const QHttpServerRequest& request)
{
    ApiRequest copy;
    copy.method = request.method();
    copy.path = request.url().path();
    copy.encodedPath = request.url().path(QUrl::FullyEncoded);
    copy.query = request.query();
    copy.headers = request.headers();
    copy.body = request.body();
    copy.remoteAddress = request.remoteAddress();
    return copy;
}

QByteArray ApiRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool ApiRequest::hasHeader(const QByteArray& name) const
{
    for (const auto& entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::optional<QJsonObject> ApiRequest::jsonObject(QString* error) const
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("request body is not valid JSON: %1").arg(parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("request body must be a JSON object");
        return std::nullopt;
    }
    return document.object();
}

} // namespace velnor::server
