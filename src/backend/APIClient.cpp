#include "backend/APIClient.h"

#include "backend/BearerToken.h"
#include "backend/TokenRedaction.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"

#include <QJsonDocument>
#include <QStringDecoder>

namespace velnor {

namespace {

// Adds a header field the way the platform's URL request does: a second value
// for the same field is appended after a comma.
void addHeader(QList<HttpHeader>& headers, const QByteArray& name, const QByteArray& value)
{
    for (HttpHeader& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second += ", " + value;
            return;
        }
    }
    headers.append({name, value});
}

void setHeader(QList<HttpHeader>& headers, const QByteArray& name, const QByteArray& value)
{
    headers.removeIf([&](const HttpHeader& header) { return header.first.compare(name, Qt::CaseInsensitive) == 0; });
    headers.append({name, value});
}

std::optional<QString> utf8Text(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString printedMap(const QList<QPair<QString, QString>>& entries)
{
    if (entries.isEmpty())
        return QStringLiteral("[:]");
    QStringList parts;
    for (const auto& [name, value] : entries)
        parts.append(QLatin1Char('"') + name + QStringLiteral("\": \"") + value + QLatin1Char('"'));
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

bool isParsableUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

} // namespace

APIClient::APIClient(HttpTransport& transport, const SettingsStore& settings, Scheduler& mainQueue, Logger& log,
                     SecretRedactor& redactor, QUrl baseUrl, Duration timeout)
    : m_transport(transport)
    , m_settings(settings)
    , m_mainQueue(mainQueue)
    , m_log(log)
    , m_redactor(redactor)
    , m_baseUrl(std::move(baseUrl))
    , m_timeout(timeout)
{
}

QString APIClient::endpoint(const QString& path) const
{
    QString base = m_baseUrl.toString();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + path;
}

QString APIClient::redactBody(const QString& body)
{
    return redactTokenValues(body);
}

QString APIClient::printedHeaders(const QList<HttpHeader>& headers)
{
    QList<QPair<QString, QString>> entries;
    for (const HttpHeader& header : headers) {
        const QString name = QString::fromLatin1(header.first);
        QString value = QString::fromUtf8(header.second);
        if (name.compare(QStringLiteral("Authorization"), Qt::CaseInsensitive) == 0)
            value = QStringLiteral("Bearer <redacted>");
        entries.append({name, value});
    }
    return printedMap(entries);
}

void APIClient::failSoon(Completion completion, APIClientError error)
{
    m_mainQueue.post([completion = std::move(completion), error = std::move(error)] {
        completion(Result<APIResponse, APIClientError>::failure(error));
    });
}

TaskHandlePtr APIClient::send(const APIRequest& request, Completion completion)
{
    if (!isParsableUrl(request.url)) {
        m_log.error(QStringLiteral("API请求失败: 无效的URL - ") + request.url);
        APIClientError error;
        error.kind = APIClientError::Kind::InvalidURL;
        failSoon(std::move(completion), std::move(error));
        return nullptr;
    }

    HttpRequest http;
    http.url = QUrl(request.url, QUrl::StrictMode);
    http.method = request.method.toLatin1();
    http.timeout = m_timeout;

    // Read at request time, so a login or logout takes effect on the next call.
    if (const auto token = m_settings.string(QString::fromLatin1(SettingsKey::UserJwt))) {
        m_redactor.addSecret(*token);
        // A damaged token is not sent: the call goes out as signed out and the
        // account check then ends the session.
        if (isHeaderSafeToken(*token))
            addHeader(http.headers, "Authorization", "Bearer " + token->toUtf8());
        else
            m_log.error(QStringLiteral("会话令牌含有控制字符，请求不携带令牌"));
    }
    for (const auto& [name, value] : request.headers)
        addHeader(http.headers, name.toLatin1(), value.toUtf8());

    m_log.info(QStringLiteral("Request Header:") + printedHeaders(http.headers));

    QString requestLog = QStringLiteral("API请求: ") + request.method + QLatin1Char(' ') + request.url
        + QStringLiteral("\n请求头: ") + printedMap(request.headers);

    if (request.multipartData && request.multipartFormBoundary) {
        setHeader(http.headers, "Content-Type",
                  "multipart/form-data; boundary=" + request.multipartFormBoundary->toUtf8());
        http.body = *request.multipartData;
        requestLog += QStringLiteral("\n请求体: [multipart form data]");
    } else if (request.parameters) {
        const QByteArray body = QJsonDocument(*request.parameters).toJson(QJsonDocument::Compact);
        if (body.isEmpty()) {
            APIClientError error;
            error.kind = APIClientError::Kind::ParameterSerialization;
            error.detail = QStringLiteral("The parameters could not be written as JSON.");
            m_log.error(QStringLiteral("API请求参数序列化失败: ") + error.detail);
            failSoon(std::move(completion), std::move(error));
            return nullptr;
        }
        http.body = body;
        const auto text = utf8Text(body);
        requestLog += QStringLiteral("\n请求参数: ")
            + redactBody(text ? *text : AnyDecodable::printed(request.parameters->toVariantMap()));
    }
    m_log.info(requestLog);

    return m_transport.start(std::move(http),
                             [this, method = request.method, url = request.url,
                              completion = std::move(completion)](HttpResponse response) {
                                 handleResponse(method, url, response, completion);
                             });
}

void APIClient::handleResponse(const QString& method, const QString& url, const HttpResponse& response,
                               const Completion& completion)
{
    using R = Result<APIResponse, APIClientError>;
    QString responseLog = QStringLiteral("API响应: ") + method + QLatin1Char(' ') + url;
    if (response.statusCode)
        responseLog += QStringLiteral("\n状态码: ") + QString::number(*response.statusCode);

    if (response.error) {
        m_log.error(responseLog + QStringLiteral("\n错误: ") + response.error->description);
        APIClientError error;
        error.kind = APIClientError::Kind::Transport;
        error.transport = *response.error;
        completion(R::failure(std::move(error)));
        return;
    }
    if (!response.body) {
        m_log.error(responseLog + QStringLiteral("\n错误: 无数据返回"));
        APIClientError error;
        error.kind = APIClientError::Kind::NoData;
        completion(R::failure(std::move(error)));
        return;
    }

    const QByteArray& body = *response.body;
    const auto text = utf8Text(body);
    if (text)
        responseLog += QStringLiteral("\n响应数据: ") + redactBody(*text);
    m_log.info(responseLog);

    auto envelope = APIResponse::decode(body);
    if (envelope) {
        completion(R::success(std::move(envelope.value())));
        return;
    }
    m_log.error(QStringLiteral("解析响应失败: ") + envelope.error().description());
    if (auto fallback = APIErrorResponse::decode(body)) {
        APIClientError error;
        error.kind = APIClientError::Kind::Response;
        error.response = APIResponseError::serverError(fallback.value().message, fallback.value().code);
        completion(R::failure(std::move(error)));
        return;
    }
    if (text)
        m_log.error(QStringLiteral("解析失败的JSON数据: ") + redactBody(*text));
    APIClientError error;
    error.kind = APIClientError::Kind::Decoding;
    error.decoding = envelope.error();
    completion(R::failure(std::move(error)));
}

} // namespace velnor
