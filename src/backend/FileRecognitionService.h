#pragma once

#include "backend/QASRTypes.h"
#include "core/Result.h"
#include "core/ServiceError.h"
#include "core/TaskHandle.h"

#include <functional>

namespace velnor {

// File recognition and the record update, as the dictation session uses them.
class FileRecognitionService {
public:
    using RecognizeCompletion = std::function<void(Result<RecognizeAudioFileResponse, ServiceError>)>;
    using UpdateCompletion = std::function<void(Result<bool, ServiceError>)>;

    FileRecognitionService() = default;
    virtual ~FileRecognitionService() = default;
    FileRecognitionService(const FileRecognitionService&) = delete;
    FileRecognitionService& operator=(const FileRecognitionService&) = delete;

    // The completion runs on the main thread; the handle cancels the upload.
    virtual TaskHandlePtr recognizeAudioFile(const RecognizeAudioFileParams& params, RecognizeCompletion completion) = 0;
    // The completion runs on the main thread too: callers log from it, and
    // Qt delivers network replies there anyway.
    virtual TaskHandlePtr updateRecognizeRecord(const RecognizeRecordUpdateReq& request, UpdateCompletion completion) = 0;
};

// Text correction ("/qasr/adjust").
class TextAdjustmentService {
public:
    using Completion = std::function<void(Result<AdjustTextResponse, ServiceError>)>;

    TextAdjustmentService() = default;
    virtual ~TextAdjustmentService() = default;
    TextAdjustmentService(const TextAdjustmentService&) = delete;
    TextAdjustmentService& operator=(const TextAdjustmentService&) = delete;

    // The completion runs on the main thread; none when the request could not be built.
    virtual TaskHandlePtr adjustText(const AdjustTextParams& params, Completion completion) = 0;
};

} // namespace velnor
