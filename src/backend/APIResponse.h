#pragma once

#include "backend/AnyDecodable.h"
#include "backend/DecodingError.h"
#include "backend/HttpTransport.h"
#include "backend/JsonCodec.h"
#include "backend/TokenRedaction.h"
#include "core/Result.h"
#include "core/ServiceError.h"
#include "log/Logger.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

#include <optional>

namespace velnor {

// How a backend answer failed at the application level.
struct APIResponseError {
    enum class Kind { ServerError, ParsingError, UnknownError };

    Kind kind = Kind::UnknownError;
    QString message; // ServerError only
    int code = 0;    // ServerError only

    static APIResponseError serverError(QString message, int code) { return {Kind::ServerError, std::move(message), code}; }
    static APIResponseError parsingError() { return {Kind::ParsingError, {}, 0}; }
    static APIResponseError unknownError() { return {Kind::UnknownError, {}, 0}; }

    // The user-facing text: "服务器错误(code): message", "数据解析错误", "未知错误".
    QString description() const;
    // e.g. serverError(message: "x", code: 5)
    QString printed() const;
    // Domain "APIResponseError", code = case index (0, 1, 2), the description
    // above; a server error also carries "APIErrorCode".
    ServiceError toServiceError() const;
};

inline const QString kAPIResponseErrorDomain = QStringLiteral("APIResponseError");

// The client's own failures and everything else a call can end in before
// the service looks at the envelope.
struct APIClientError {
    enum class Kind {
        Transport,              // no HTTP answer: see `transport`
        InvalidURL,             // the URL string does not parse
        NoData,                 // an answer without a body
        ParameterSerialization, // the JSON body could not be written
        Decoding,               // the body is neither an envelope nor {code, message}: see `decoding`
        Response,               // the body is {code, message}: see `response`
    };

    Kind kind = Kind::Transport;
    TransportError transport;
    DecodingError decoding;
    APIResponseError response;
    QString detail; // ParameterSerialization: what failed

    bool isTimeout() const { return kind == Kind::Transport && transport.kind == TransportErrorKind::TimedOut; }
    bool isNotPermitted() const
    {
        return kind == Kind::Transport && transport.kind == TransportErrorKind::NotPermitted;
    }
    QString description() const;
    QString printed() const;
    // The error as a value for callers that pass it on unchanged.
    ServiceError toServiceError() const;
};

// The alternative body {"code": int, "message": string}, both required.
struct APIErrorResponse {
    int code = 0;
    QString message;

    static Result<APIErrorResponse, DecodingError> decode(const QByteArray& body);
};

// The backend envelope {"code", "msg", "data"}; only "code" is required.
struct APIResponse {
    int code = 0;
    std::optional<QString> msg;
    std::optional<AnyDecodable> data; // absent when missing or null

    static Result<APIResponse, DecodingError> decode(const QByteArray& body);

    // The "data" as a T, or none; logs each step at debug level (a failed
    // conversion at error level). Only objects and arrays go through JSON again.
    template <typename T>
    std::optional<T> typedData(Logger& log) const;

    // Code 0: the typed data (for a list: empty when absent or unreadable;
    // otherwise unknownError). Non-zero: serverError with "msg".
    template <typename T>
    Result<T, APIResponseError> result(Logger& log) const;

    QString messageOrUnknown() const { return msg.value_or(QStringLiteral("Unknown error")); }
};

namespace detail {
template <typename T>
struct IsList : std::false_type {};
template <typename T>
struct IsList<QList<T>> : std::true_type {};
} // namespace detail

template <typename T>
std::optional<T> APIResponse::typedData(Logger& log) const
{
    if (!data)
        return std::nullopt;
    const QVariant& value = data->value();
    const QString printedValue = redactTokenValues(AnyDecodable::printed(value));
    const QString valueType = AnyDecodable::typeName(value);
    const QString target = JsonCodec<T>::typeName();
    log.debug(QStringLiteral("尝试转换数据: 值=") + printedValue + QStringLiteral(", 类型=") + valueType
              + QStringLiteral(", 目标类型=") + target);
    log.debug(QStringLiteral("类型检查: _data类型=AnyDecodable, T类型=") + target + QStringLiteral(", _data.value类型=")
              + valueType);
    if (auto direct = JsonCodec<T>::fromPlain(value)) {
        log.debug(QStringLiteral("简单类型转换成功: ") + printedValue);
        return direct;
    }
    if constexpr (std::is_same_v<T, bool>)
        log.debug(QStringLiteral("进入布尔值特殊处理分支"));
    const int kind = value.typeId();
    if (kind != QMetaType::QVariantList && kind != QMetaType::QVariantMap) {
        log.error(QStringLiteral("数据无法序列化为JSON: ") + printedValue);
        return std::nullopt;
    }
    const QJsonValue json = AnyDecodable::toJson(value);
    const QByteArray bytes = json.isArray() ? QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact)
                                            : QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
    const QJsonDocument reread = QJsonDocument::fromJson(bytes);
    const QJsonValue again = reread.isArray() ? QJsonValue(reread.array()) : QJsonValue(reread.object());
    auto decoded = JsonCodec<T>::decode(again, QString());
    if (!decoded) {
        log.error(QStringLiteral("数据类型转换失败: ") + decoded.error().description());
        return std::nullopt;
    }
    log.debug(QStringLiteral("JSON转换成功: ") + JsonCodec<T>::printed(decoded.value()));
    return std::move(decoded.value());
}

template <typename T>
Result<T, APIResponseError> APIResponse::result(Logger& log) const
{
    using R = Result<T, APIResponseError>;
    if (code != 0)
        return R::failure(APIResponseError::serverError(messageOrUnknown(), code));
    if (auto value = typedData<T>(log))
        return R::success(std::move(*value));
    if constexpr (detail::IsList<T>::value)
        return R::success(T{});
    else
        return R::failure(APIResponseError::unknownError());
}

} // namespace velnor
