#include "backend/HotwordService.h"

namespace velnor {

HotwordService::HotwordService(APIClient& client, Logger& log)
    : m_client(client)
    , m_log(log)
{
}

const ServiceErrorTexts& HotwordService::errorTexts()
{
    static const ServiceErrorTexts texts{
        QStringLiteral("HotwordServiceErrorDomain"), QStringLiteral("HotwordServiceNetworkErrorDomain"),
        QStringLiteral("HotwordServiceTimeoutErrorDomain"), QStringLiteral("API错误: "), QStringLiteral("网络请求失败: "),
        QStringLiteral("请求超时: 服务器响应时间超过10秒")};
    return texts;
}

TaskHandlePtr HotwordService::getHotwordList(ListCompletion completion)
{
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/qasr/hotwordlist"));
    request.method = QStringLiteral("GET");
    request.headers = APIRequest::jsonHeaders();
    return m_client.send(request, [this, completion = std::move(completion)](auto result) {
        using R = Result<QList<Hotword>, ServiceError>;
        if (!result) {
            completion(R::failure(clientFailure(errorTexts(), result.error())));
            return;
        }
        auto list = result.value().template result<QList<Hotword>>(m_log);
        if (list)
            completion(R::success(std::move(list.value())));
        else
            completion(R::failure(envelopeError(errorTexts(), list.error().code, list.error().message)));
    });
}

TaskHandlePtr HotwordService::addHotword(const QString& text, qint64 weight, ChangeCompletion completion)
{
    return change(QStringLiteral("POST"), text, weight, std::move(completion));
}

TaskHandlePtr HotwordService::deleteHotword(const QString& text, qint64 weight, ChangeCompletion completion)
{
    return change(QStringLiteral("DELETE"), text, weight, std::move(completion));
}

TaskHandlePtr HotwordService::change(const QString& method, const QString& text, qint64 weight,
                                     ChangeCompletion completion)
{
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/qasr/hotword"));
    request.method = method;
    request.headers = APIRequest::jsonHeaders();
    request.parameters = QJsonObject{{QStringLiteral("text"), text}, {QStringLiteral("weight"), weight}};
    return m_client.send(request, [this, completion = std::move(completion)](auto result) {
        using R = Result<bool, ServiceError>;
        if (!result) {
            completion(R::failure(clientFailure(errorTexts(), result.error())));
            return;
        }
        completion(booleanOutcome(result.value(), errorTexts(), m_log));
    });
}

} // namespace velnor
