#include "backend/ServiceErrorMapping.h"

namespace velnor {

ServiceError envelopeError(const ServiceErrorTexts& texts, int code, const QString& message)
{
    ServiceError error;
    error.domain = texts.envelopeDomain;
    error.code = code;
    error.description = texts.apiPrefix + message;
    error.userInfo.insert(kAPIErrorCodeKey, code);
    return error;
}

ServiceError clientFailure(const ServiceErrorTexts& texts, const APIClientError& failure)
{
    ServiceError error;
    if (failure.isTimeout()) {
        error.domain = texts.timeoutDomain;
        error.code = -1001;
        error.description = texts.timeoutDescription;
        error.failureReason = kTimeoutFailureReason;
        error.recoverySuggestion = kTimeoutRecoverySuggestion;
        return error;
    }
    error.domain = texts.networkDomain;
    error.code = -1;
    error.description = texts.networkPrefix + failure.description();
    return error;
}

Result<bool, ServiceError> booleanOutcome(const APIResponse& envelope, const ServiceErrorTexts& texts, Logger& log)
{
    if (envelope.code != 0)
        return Result<bool, ServiceError>::failure(envelopeError(texts, envelope.code, envelope.messageOrUnknown()));
    return Result<bool, ServiceError>::success(envelope.typedData<bool>(log).value_or(true));
}

std::optional<int> apiErrorCode(const ServiceError& error)
{
    const auto it = error.userInfo.constFind(kAPIErrorCodeKey);
    if (it == error.userInfo.constEnd())
        return std::nullopt;
    return it->toInt();
}

} // namespace velnor
