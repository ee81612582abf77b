#pragma once

#include "backend/FileRecognitionService.h"

#include <QList>

namespace velnor {

// A request a fake service holds until the test answers it.
template <typename Params, typename Completion>
struct PendingCall {
    Params params;
    Completion completion;
    std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);

    bool isCancelled() const { return *cancelled; }
    // Answers even when the caller cancelled: a reply can race the cancel,
    // and callers must cope with it.
    template <typename R>
    void answer(R result) const
    {
        completion(std::move(result));
    }
};

class FakeFileRecognitionService final : public FileRecognitionService {
public:
    TaskHandlePtr recognizeAudioFile(const RecognizeAudioFileParams& params, RecognizeCompletion completion) override;
    TaskHandlePtr updateRecognizeRecord(const RecognizeRecordUpdateReq& request, UpdateCompletion completion) override;

    QList<PendingCall<RecognizeAudioFileParams, RecognizeCompletion>> recognitions;
    QList<PendingCall<RecognizeRecordUpdateReq, UpdateCompletion>> updates;
};

class FakeTextAdjustmentService final : public TextAdjustmentService {
public:
    TaskHandlePtr adjustText(const AdjustTextParams& params, Completion completion) override;

    QList<PendingCall<AdjustTextParams, Completion>> adjustments;
};

} // namespace velnor
