#include "backend/QASRService.h"

#include "backend/MultipartFormBody.h"
#include "backend/QASRCodecs.h"

namespace velnor {

namespace {
const QString kVersion = QStringLiteral("v2");
} // namespace

QASRService::QASRService(APIClient& client, Logger& log, BoundaryFactory newBoundary)
    : m_client(client)
    , m_log(log)
    , m_newBoundary(newBoundary ? std::move(newBoundary) : BoundaryFactory(&MultipartFormBody::newBoundary))
{
}

const ServiceErrorTexts& QASRService::errorTexts()
{
    static const ServiceErrorTexts texts{
        QStringLiteral("QASRServiceErrorDomain"), QStringLiteral("QASRServiceNetworkErrorDomain"),
        QStringLiteral("QASRServiceTimeoutErrorDomain"), QStringLiteral("API错误: "), QStringLiteral("网络请求失败: "),
        QStringLiteral("请求超时: 服务器响应时间超过10秒")};
    return texts;
}

ServiceError QASRService::notPermittedError()
{
    ServiceError error;
    error.domain = QStringLiteral("NSPOSIXErrorDomain");
    error.code = 1;
    error.description = QStringLiteral("Network access is not permitted. Please check your app's network permissions.");
    error.failureReason = QStringLiteral("The app doesn't have proper network access permissions.");
    error.recoverySuggestion =
        QStringLiteral("Please verify network permissions in System Preferences > Security & Privacy > Network.");
    return error;
}

QByteArray QASRService::multipartBody(const RecognizeAudioFileParams& params, const QString& boundary)
{
    MultipartFormBody body(boundary);
    body.addText(QStringLiteral("file_type"), params.fileType);
    const std::pair<const char*, const std::optional<QString>*> textParts[] = {
        {"app_id", &params.appID},
        {"app_name", &params.appName},
        {"os_type", &params.osType},
        {"out_language", &params.outLanguage},
    };
    for (const auto& [name, value] : textParts) {
        if (*value)
            body.addText(QString::fromLatin1(name), **value);
    }
    body.addText(QStringLiteral("version"), kVersion);
    if (params.overOver)
        body.addText(QStringLiteral("over_over"), *params.overOver ? QStringLiteral("true") : QStringLiteral("false"));
    body.addFile(QStringLiteral("file"), QStringLiteral("audio.") + params.fileType,
                 QStringLiteral("audio/") + params.fileType, params.audioData);
    return body.finish();
}

TaskHandlePtr QASRService::recognizeAudioFile(const RecognizeAudioFileParams& params, RecognizeCompletion completion)
{
    m_log.info(QStringLiteral("[QASR] recognizeAudioFile called with parameters:"));
    m_log.info(QStringLiteral("[QASR] - fileType: ") + params.fileType);
    m_log.info(QStringLiteral("[QASR] - appID: ") + valueOrNil(params.appID));
    m_log.info(QStringLiteral("[QASR] - appName: ") + valueOrNil(params.appName));
    m_log.info(QStringLiteral("[QASR] - osType: ") + valueOrNil(params.osType));
    m_log.info(QStringLiteral("[QASR] - outLanguage: ") + valueOrNil(params.outLanguage));
    m_log.info(QStringLiteral("[QASR] - version: ") + kVersion);
    m_log.info(QStringLiteral("[QASR] - overOver: ")
               + (params.overOver ? (*params.overOver ? QStringLiteral("true") : QStringLiteral("false"))
                                  : QStringLiteral("nil")));

    const QString boundary = m_newBoundary();
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/qasr/recognize"));
    request.method = QStringLiteral("POST");
    request.multipartData = multipartBody(params, boundary);
    request.multipartFormBoundary = boundary;
    return m_client.send(request, [this, completion = std::move(completion)](auto result) {
        deliverRecognition(completion, result);
    });
}

void QASRService::deliverRecognition(const RecognizeCompletion& completion,
                                     const Result<APIResponse, APIClientError>& result)
{
    using R = Result<RecognizeAudioFileResponse, ServiceError>;
    if (!result) {
        const APIClientError& error = result.error();
        completion(R::failure(error.isNotPermitted() ? notPermittedError() : clientFailure(errorTexts(), error)));
        return;
    }
    auto typed = result.value().result<RecognizeAudioFileResponse>(m_log);
    if (typed) {
        completion(R::success(std::move(typed.value())));
        return;
    }
    const APIResponseError& error = typed.error();
    if (error.kind == APIResponseError::Kind::ServerError)
        completion(R::failure(envelopeError(errorTexts(), error.code, error.message)));
    else
        completion(R::failure(error.toServiceError()));
}

QJsonObject QASRService::updateParameters(const RecognizeRecordUpdateReq& request)
{
    QJsonObject body{{QStringLiteral("id"), request.id}};
    if (request.appID)
        body.insert(QStringLiteral("app_id"), *request.appID);
    if (request.appName)
        body.insert(QStringLiteral("app_name"), *request.appName);
    if (request.textInputMethod)
        body.insert(QStringLiteral("text_input_method"), *request.textInputMethod);
    if (request.osType)
        body.insert(QStringLiteral("os_type"), *request.osType);
    return body;
}

TaskHandlePtr QASRService::updateRecognizeRecord(const RecognizeRecordUpdateReq& update, UpdateCompletion completion)
{
    APIRequest request;
    request.url = m_client.endpoint(QStringLiteral("/qasr/recognize/update"));
    request.method = QStringLiteral("POST");
    request.headers = APIRequest::jsonHeaders();
    request.parameters = updateParameters(update);
    return m_client.send(request, [this, completion = std::move(completion)](auto result) {
        using R = Result<bool, ServiceError>;
        if (!result) {
            completion(R::failure(result.error().toServiceError()));
            return;
        }
        completion(booleanOutcome(result.value(), errorTexts(), m_log));
    });
}

} // namespace velnor
