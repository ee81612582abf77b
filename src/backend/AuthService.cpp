#include "backend/AuthService.h"

#include "config/DeploymentConfig.h"

namespace velnor {

AuthService::AuthService(APIClient& client, Logger& log)
    : m_client(client)
    , m_log(log)
{
}

const ServiceErrorTexts& AuthService::errorTexts()
{
    static const ServiceErrorTexts texts{
        QStringLiteral("AuthServiceErrorDomain"), QStringLiteral("AuthServiceNetworkErrorDomain"),
        QStringLiteral("AuthServiceTimeoutErrorDomain"), QStringLiteral("API错误: "), QStringLiteral("网络请求失败: "),
        QStringLiteral("请求超时: 服务器响应时间超过10秒")};
    return texts;
}

bool AuthService::isUnauthorized(const ServiceError& error)
{
    if (error.domain == errorTexts().envelopeDomain)
        return error.code == 401;
    if (error.domain == kAPIResponseErrorDomain)
        return apiErrorCode(error) == 401;
    return false;
}

QJsonObject AuthService::loginParameters(const VerifyCodeLoginRequest& request)
{
    QJsonObject body{{QStringLiteral("phone"), request.phoneNumber},
                     {QStringLiteral("code"), request.verificationCode}};
    if (request.inviteCode && !request.inviteCode->isEmpty())
        body.insert(QStringLiteral("invite_code"), *request.inviteCode);
    return body;
}

template <typename T>
TaskHandlePtr AuthService::call(const APIRequest& request, Completion<T> completion)
{
    return m_client.send(request, [this, completion = std::move(completion)](auto result) {
        using R = Result<T, ServiceError>;
        if (!result) {
            completion(R::failure(clientFailure(errorTexts(), result.error())));
            return;
        }
        const APIResponse& envelope = result.value();
        if constexpr (std::is_same_v<T, bool>) {
            completion(booleanOutcome(envelope, errorTexts(), m_log));
        } else if constexpr (std::is_same_v<T, SentCode>) {
            completion(sentCode(envelope));
        } else if (envelope.code != 0) {
            completion(R::failure(envelopeError(errorTexts(), envelope.code, envelope.messageOrUnknown())));
        } else if (auto data = envelope.typedData<T>(m_log)) {
            completion(R::success(std::move(*data)));
        } else {
            completion(R::failure(APIResponseError::unknownError().toServiceError()));
        }
    });
}

Result<SentCode, ServiceError> AuthService::sentCode(const APIResponse& envelope) const
{
    const QVariant data = envelope.data ? envelope.data->value() : QVariant();
    if (envelope.code != 0 || data.typeId() != QMetaType::QVariantMap) {
        auto sent = booleanOutcome(envelope, errorTexts(), m_log);
        if (!sent)
            return Result<SentCode, ServiceError>::failure(sent.error());
        return Result<SentCode, ServiceError>::success(SentCode{sent.value(), std::nullopt});
    }
    // A code in the answer is only believed from this computer's own server.
    const QVariant code = data.toMap().value(QStringLiteral("dev_code"));
    SentCode sent;
    if (code.typeId() == QMetaType::QString && isLoopbackHost(m_client.baseUrl().host()))
        sent.localCode = code.toString();
    return Result<SentCode, ServiceError>::success(sent);
}

TaskHandlePtr AuthService::sendVerificationCode(const QString& phone, Completion<SentCode> completion)
{
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/auth/sms/code"));
    request.method = QStringLiteral("POST");
    request.headers = APIRequest::jsonHeaders();
    request.parameters = QJsonObject{{QStringLiteral("phone"), phone}};
    return call<SentCode>(request, std::move(completion));
}

TaskHandlePtr AuthService::loginWithVerificationCode(const VerifyCodeLoginRequest& login,
                                                     Completion<LoginResponse> completion)
{
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/auth/login/sms"));
    request.method = QStringLiteral("POST");
    request.headers = APIRequest::jsonHeaders();
    request.parameters = loginParameters(login);
    return call<LoginResponse>(request, std::move(completion));
}

TaskHandlePtr AuthService::meV2(Completion<User> completion)
{
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/auth/mev2"));
    request.method = QStringLiteral("GET");
    request.headers = APIRequest::jsonHeaders();
    return call<User>(request, std::move(completion));
}

} // namespace velnor
