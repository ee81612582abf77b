#pragma once

#include "http/ApiRequest.h"

#include <QJsonValue>
#include <QString>

namespace velnor::server {

// The answer shape of every API endpoint: HTTP 200 with
// {"code": int, "msg": string, "data": any}; code 0 is success.
class Envelope final {
public:
    // The non-zero codes this server uses (HTTP-like, so they read easily).
    enum Code : int {
        Ok = 0,
        BadRequest = 400,
        Unauthorized = 401,   // missing, forged or expired token where an account is needed: the client signs out
        Forbidden = 403,
        NotFound = 404,
        PayloadTooLarge = 413,
        UnsupportedAudio = 415,
        LimitReached = 422,
        TooManyRequests = 429,
        InternalError = 500,
        Unavailable = 503,
    };

    static ApiReply success(const QJsonValue& data);
    static ApiReply failure(int code, const QString& message);
    static ApiReply make(int code, const QString& message, const QJsonValue& data);
};

} // namespace velnor::server
