#include "backend/AdjustTextService.h"

#include "backend/QASRCodecs.h"

namespace velnor {

bool isEncodableAsUtf8(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

AdjustTextService::AdjustTextService(APIClient& client, Scheduler& mainQueue, Logger& log)
    : m_client(client)
    , m_mainQueue(mainQueue)
    , m_log(log)
{
}

const ServiceErrorTexts& AdjustTextService::errorTexts()
{
    static const ServiceErrorTexts texts{
        QStringLiteral("AdjustTextServiceErrorDomain"), QStringLiteral("AdjustTextServiceNetworkErrorDomain"),
        QStringLiteral("AdjustTextServiceTimeoutErrorDomain"), QStringLiteral("文本校对API错误: "),
        QStringLiteral("文本校对网络请求失败: "), QStringLiteral("文本校对请求超时")};
    return texts;
}

QJsonObject AdjustTextService::parameters(const AdjustTextParams& params, const QString& base64Text)
{
    QJsonObject body{{QStringLiteral("base64_text"), base64Text}};
    if (params.appID)
        body.insert(QStringLiteral("app_id"), *params.appID);
    if (params.appName)
        body.insert(QStringLiteral("app_name"), *params.appName);
    if (params.osType)
        body.insert(QStringLiteral("os_type"), *params.osType);
    if (params.outLanguage)
        body.insert(QStringLiteral("out_language"), *params.outLanguage);
    return body;
}

TaskHandlePtr AdjustTextService::adjustText(const AdjustTextParams& params, Completion completion)
{
    if (!isEncodableAsUtf8(params.text)) {
        ServiceError error;
        error.domain = errorTexts().envelopeDomain;
        error.code = -1;
        error.description = QStringLiteral("文本编码失败");
        m_mainQueue.post([completion = std::move(completion), error] {
            completion(Result<AdjustTextResponse, ServiceError>::failure(error));
        });
        return nullptr;
    }
    const QString base64Text = QString::fromLatin1(params.text.toUtf8().toBase64());

    m_log.info(QStringLiteral("[AdjustText] adjustText called with parameters:"));
    m_log.info(QStringLiteral("[AdjustText] - text: '") + params.text + QLatin1Char('\''));
    m_log.info(QStringLiteral("[AdjustText] - base64Text length: ") + QString::number(base64Text.size()));
    m_log.info(QStringLiteral("[AdjustText] - appID: ") + valueOrNil(params.appID));
    m_log.info(QStringLiteral("[AdjustText] - appName: ") + valueOrNil(params.appName));
    m_log.info(QStringLiteral("[AdjustText] - osType: ") + valueOrNil(params.osType));
    m_log.info(QStringLiteral("[AdjustText] - outLanguage: ") + valueOrNil(params.outLanguage));

    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/qasr/adjust"));
    request.method = QStringLiteral("POST");
    request.headers = APIRequest::jsonHeaders();
    request.parameters = parameters(params, base64Text);
    return m_client.send(request, [this, completion = std::move(completion)](auto result) {
        deliver(completion, result);
    });
}

void AdjustTextService::deliver(const Completion& completion, const Result<APIResponse, APIClientError>& result)
{
    using R = Result<AdjustTextResponse, ServiceError>;
    if (!result) {
        m_log.error(QStringLiteral("[AdjustText] 网络请求失败: ") + result.error().printed());
        completion(R::failure(clientFailure(errorTexts(), result.error())));
        return;
    }
    auto typed = result.value().result<AdjustTextResponse>(m_log);
    if (typed) {
        m_log.info(QStringLiteral("[AdjustText] 文本校对成功: '") + typed.value().text.value_or(QString())
                   + QLatin1Char('\''));
        completion(R::success(std::move(typed.value())));
        return;
    }
    const APIResponseError& error = typed.error();
    m_log.error(QStringLiteral("[AdjustText] API错误: ") + error.printed());
    if (error.kind == APIResponseError::Kind::ServerError)
        completion(R::failure(envelopeError(errorTexts(), error.code, error.message)));
    else
        completion(R::failure(error.toServiceError()));
}

} // namespace velnor
