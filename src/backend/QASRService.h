#pragma once

#include "backend/APIClient.h"
#include "backend/FileRecognitionService.h"
#include "backend/ServiceErrorMapping.h"

#include <functional>

namespace velnor {

// File recognition ("/qasr/recognize", multipart upload) and the record
// update ("/qasr/recognize/update"). Both completions run on the main thread.
class QASRService final : public FileRecognitionService {
public:
    using BoundaryFactory = std::function<QString()>;

    QASRService(APIClient& client, Logger& log, BoundaryFactory newBoundary = nullptr);

    TaskHandlePtr recognizeAudioFile(const RecognizeAudioFileParams& params, RecognizeCompletion completion) override;
    TaskHandlePtr updateRecognizeRecord(const RecognizeRecordUpdateReq& request, UpdateCompletion completion) override;

    static const ServiceErrorTexts& errorTexts();
    // The upload's body: text parts in their fixed order, the file, the closing line.
    static QByteArray multipartBody(const RecognizeAudioFileParams& params, const QString& boundary);
    // The record update's JSON: absent optionals are left out.
    static QJsonObject updateParameters(const RecognizeRecordUpdateReq& request);
    // The system refused network access (the POSIX "operation not permitted").
    static ServiceError notPermittedError();

private:
    void deliverRecognition(const RecognizeCompletion& completion, const Result<APIResponse, APIClientError>& result);

    APIClient& m_client;
    Logger& m_log;
    BoundaryFactory m_newBoundary;
};

} // namespace velnor
