#include "backend/UpdateChecker.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QPointer>

namespace velnor {

Result<UpdateCheckResponse, DecodingError> UpdateCheckResponse::decode(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Result<UpdateCheckResponse, DecodingError>::failure(DecodingError{
            DecodingError::Kind::DataCorrupted, {}, QStringLiteral("The given data was not valid JSON.")});
    JsonReader reader(document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array()), {});
    UpdateCheckResponse response;
    response.code = reader.requiredInt(QStringLiteral("code"));
    response.msg = reader.requiredString(QStringLiteral("msg"));
    JsonReader data(reader.requiredValue(QStringLiteral("data")), QStringLiteral("data"));
    if (reader.ok()) {
        response.data.is_need_update = data.requiredBool(QStringLiteral("is_need_update"));
        response.data.focus_update = data.requiredBool(QStringLiteral("focus_update"));
        response.data.update_url = data.requiredString(QStringLiteral("update_url"));
        response.data.update_desc = data.requiredString(QStringLiteral("update_desc"));
        response.data.update_version = data.requiredString(QStringLiteral("update_version"));
        if (!data.ok())
            reader.fail(*data.error());
    }
    return finishRecord(reader, std::move(response));
}

UpdateChecker::UpdateChecker(HttpTransport& transport, QUrl baseUrl, QString currentVersion, QString platform,
                             ConsoleSink print, Duration timeout, QObject* parent)
    : QObject(parent)
    , m_transport(transport)
    , m_baseUrl(std::move(baseUrl))
    , m_currentVersion(std::move(currentVersion))
    , m_platform(std::move(platform))
    , m_print(std::move(print))
    , m_timeout(timeout)
{
}

QUrl UpdateChecker::checkUrl(const QUrl& baseUrl, const QString& currentVersion, const QString& platform)
{
    QUrl url = baseUrl;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/app/check"));
    // Encoded by hand: a "+" in a version must stay "%2B", never a space.
    url.setQuery(QStringLiteral("current_version=") + QString::fromLatin1(QUrl::toPercentEncoding(currentVersion))
                     + QStringLiteral("&platform=") + QString::fromLatin1(QUrl::toPercentEncoding(platform)),
                 QUrl::StrictMode);
    return url;
}

void UpdateChecker::checkForUpdates()
{
    if (m_isCheckingUpdate)
        return;
    m_isCheckingUpdate = true;
    emit changed();
    const QUrl url = checkUrl(m_baseUrl, m_currentVersion, m_platform);
    if (!url.isValid() || url.scheme().isEmpty()) {
        m_isCheckingUpdate = false;
        emit changed();
        return;
    }
    HttpRequest request;
    request.url = url;
    request.method = "GET";
    request.headers = {{"Content-Type", "application/json"}};
    request.timeout = m_timeout;
    QPointer<UpdateChecker> self(this);
    m_task = m_transport.start(std::move(request), [self](HttpResponse response) {
        if (self)
            self->apply(response);
    });
}

void UpdateChecker::apply(const HttpResponse& response)
{
    m_task.reset();
    m_isCheckingUpdate = false;
    if (response.error) {
        m_print(QStringLiteral("Update check failed: ") + response.error->description);
    } else if (!response.body) {
        m_print(QStringLiteral("No data received from update check"));
    } else if (auto decoded = UpdateCheckResponse::decode(*response.body); !decoded) {
        m_print(QStringLiteral("Failed to decode update response: ") + decoded.error().printed());
    } else if (decoded.value().code != 0) {
        m_print(QStringLiteral("Update check API error: ") + decoded.value().msg);
    } else {
        m_updateAvailable = decoded.value().data.is_need_update;
        m_updateInfo = decoded.value().data;
    }
    emit changed();
}

} // namespace velnor
