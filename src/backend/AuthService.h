#pragma once

#include "backend/APIClient.h"
#include "backend/AuthTypes.h"
#include "backend/ServiceErrorMapping.h"

namespace velnor {

struct VerifyCodeLoginRequest {
    QString phoneNumber;
    QString verificationCode;
    std::optional<QString> inviteCode; // sent only when present and not empty
};

// What a code request answered. A velnor-server on this computer started with
// --dev-sms also hands back the code itself ("data": {"dev_code": "1234"}); it
// is taken only from a backend on this computer.
struct SentCode {
    bool sent = true;
    std::optional<QString> localCode;
};

// The three account calls. Each ends in one completion on the main thread.
class AuthService final {
public:
    template <typename T>
    using Completion = std::function<void(Result<T, ServiceError>)>;

    AuthService(APIClient& client, Logger& log);

    TaskHandlePtr sendVerificationCode(const QString& phone, Completion<SentCode> completion);
    TaskHandlePtr loginWithVerificationCode(const VerifyCodeLoginRequest& request, Completion<LoginResponse> completion);
    TaskHandlePtr meV2(Completion<User> completion);

    static const ServiceErrorTexts& errorTexts();
    static QJsonObject loginParameters(const VerifyCodeLoginRequest& request);
    // True when the error says the session token is no longer valid (401).
    static bool isUnauthorized(const ServiceError& error);

private:
    template <typename T>
    TaskHandlePtr call(const APIRequest& request, Completion<T> completion);
    Result<SentCode, ServiceError> sentCode(const APIResponse& envelope) const;

    APIClient& m_client;
    Logger& m_log;
};

} // namespace velnor
