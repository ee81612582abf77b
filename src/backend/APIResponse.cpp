#include "backend/APIResponse.h"

#include "backend/JsonReader.h"

#include <QJsonParseError>
#include <limits>

namespace velnor {

namespace {

Result<QJsonValue, DecodingError> parseJson(const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Result<QJsonValue, DecodingError>::failure(
            DecodingError{DecodingError::Kind::DataCorrupted, {},
                          QStringLiteral("The given data was not valid JSON. (") + parseError.errorString()
                              + QStringLiteral(" at offset ") + QString::number(parseError.offset) + QLatin1Char(')')});
    return Result<QJsonValue, DecodingError>::success(document.isArray() ? QJsonValue(document.array())
                                                                         : QJsonValue(document.object()));
}

// A required signed integer key that must fit an int.
int readCode(JsonReader& reader)
{
    const qint64 code = reader.requiredInt(QStringLiteral("code"));
    if (code < std::numeric_limits<int>::min() || code > std::numeric_limits<int>::max()) {
        reader.fail(DecodingError{DecodingError::Kind::DataCorrupted, QStringLiteral("code"),
                                  QStringLiteral("Parsed JSON number does not fit in Int.")});
        return 0;
    }
    return static_cast<int>(code);
}

} // namespace

QString APIResponseError::description() const
{
    switch (kind) {
    case Kind::ServerError:
        return QStringLiteral("服务器错误(") + QString::number(code) + QStringLiteral("): ") + message;
    case Kind::ParsingError:
        return QStringLiteral("数据解析错误");
    case Kind::UnknownError:
        break;
    }
    return QStringLiteral("未知错误");
}

QString APIResponseError::printed() const
{
    switch (kind) {
    case Kind::ServerError:
        return QStringLiteral("serverError(message: \"") + message + QStringLiteral("\", code: ") + QString::number(code)
            + QLatin1Char(')');
    case Kind::ParsingError:
        return QStringLiteral("parsingError");
    case Kind::UnknownError:
        break;
    }
    return QStringLiteral("unknownError");
}

ServiceError APIResponseError::toServiceError() const
{
    ServiceError error;
    error.domain = kAPIResponseErrorDomain;
    error.code = static_cast<int>(kind);
    error.description = description();
    if (kind == Kind::ServerError)
        error.userInfo.insert(QStringLiteral("APIErrorCode"), code);
    return error;
}

QString APIClientError::description() const
{
    switch (kind) {
    case Kind::Transport:
        return transport.description;
    case Kind::InvalidURL:
        return QStringLiteral("The URL is not valid.");
    case Kind::NoData:
        return QStringLiteral("The server returned no data.");
    case Kind::ParameterSerialization:
        return detail;
    case Kind::Decoding:
        return decoding.description();
    case Kind::Response:
        return response.description();
    }
    return {};
}

QString APIClientError::printed() const
{
    switch (kind) {
    case Kind::Transport:
        return QStringLiteral("Error Domain=NetworkTransport Code=%1 \"%2\"")
            .arg(transport.code)
            .arg(transport.description);
    case Kind::InvalidURL:
        return QStringLiteral("invalidURL");
    case Kind::NoData:
        return QStringLiteral("noData");
    case Kind::ParameterSerialization:
        return QStringLiteral("parameterSerialization(\"") + detail + QStringLiteral("\")");
    case Kind::Decoding:
        return decoding.printed();
    case Kind::Response:
        return response.printed();
    }
    return {};
}

ServiceError APIClientError::toServiceError() const
{
    if (kind == Kind::Response)
        return response.toServiceError();
    ServiceError error;
    error.description = description();
    switch (kind) {
    case Kind::Transport:
        error.domain = QStringLiteral("NetworkTransportErrorDomain");
        error.code = isTimeout() ? -1001 : transport.code;
        break;
    case Kind::InvalidURL:
        error.domain = QStringLiteral("APIError");
        error.code = 0;
        break;
    case Kind::NoData:
        error.domain = QStringLiteral("APIError");
        error.code = 1;
        break;
    case Kind::ParameterSerialization:
        error.domain = QStringLiteral("JSONSerializationErrorDomain");
        error.code = 0;
        break;
    case Kind::Decoding:
        error.domain = QStringLiteral("DecodingError");
        error.code = static_cast<int>(decoding.kind);
        break;
    case Kind::Response:
        break;
    }
    return error;
}

Result<APIErrorResponse, DecodingError> APIErrorResponse::decode(const QByteArray& body)
{
    auto json = parseJson(body);
    if (!json)
        return Result<APIErrorResponse, DecodingError>::failure(json.error());
    JsonReader reader(json.value(), {});
    APIErrorResponse response;
    response.code = readCode(reader);
    response.message = reader.requiredString(QStringLiteral("message"));
    return finishRecord(reader, std::move(response));
}

Result<APIResponse, DecodingError> APIResponse::decode(const QByteArray& body)
{
    auto json = parseJson(body);
    if (!json)
        return Result<APIResponse, DecodingError>::failure(json.error());
    JsonReader reader(json.value(), {});
    APIResponse response;
    response.code = readCode(reader);
    response.msg = reader.optionalString(QStringLiteral("msg"));
    if (auto data = reader.optionalValue(QStringLiteral("data"))) {
        auto decoded = AnyDecodable::decode(*data);
        if (decoded)
            response.data = decoded.value();
        else
            reader.fail(decoded.error());
    }
    return finishRecord(reader, std::move(response));
}

} // namespace velnor
