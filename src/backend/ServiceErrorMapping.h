#pragma once

#include "backend/APIResponse.h"
#include "core/ServiceError.h"

#include <QString>

namespace velnor {

// The three error domains of one backend service and its texts.
struct ServiceErrorTexts {
    QString envelopeDomain;
    QString networkDomain;
    QString timeoutDomain;
    QString apiPrefix;          // before the envelope's "msg"
    QString networkPrefix;      // before the transport error's description
    QString timeoutDescription; // the whole timeout message
};

inline const QString kTimeoutFailureReason = QStringLiteral("网络连接超时");
inline const QString kTimeoutRecoverySuggestion = QStringLiteral("请检查网络连接并重试");
inline const QString kAPIErrorCodeKey = QStringLiteral("APIErrorCode");

// Envelope with a non-zero code: envelope domain, that code, prefix + message,
// and "APIErrorCode" = code in the user info.
ServiceError envelopeError(const ServiceErrorTexts& texts, int code, const QString& message);
// A client failure: a timeout becomes the timeout domain (-1001), anything
// else the network domain (-1) with prefix + the failure's description.
ServiceError clientFailure(const ServiceErrorTexts& texts, const APIClientError& error);

// The answer of a yes/no call: code 0 gives the boolean "data" (true when it
// is absent or not a boolean), any other code the envelope error.
Result<bool, ServiceError> booleanOutcome(const APIResponse& envelope, const ServiceErrorTexts& texts, Logger& log);

// The envelope code a service error carries, if any (envelope domains and
// server errors keep it under "APIErrorCode").
std::optional<int> apiErrorCode(const ServiceError& error);

} // namespace velnor
