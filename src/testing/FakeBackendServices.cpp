#include "testing/FakeBackendServices.h"

namespace velnor {

namespace {

class FlagTask final : public TaskHandle {
public:
    explicit FlagTask(std::shared_ptr<bool> cancelled)
        : m_cancelled(std::move(cancelled))
    {
    }
    void cancel() override { *m_cancelled = true; }

private:
    std::shared_ptr<bool> m_cancelled;
};

template <typename List, typename Params, typename Completion>
TaskHandlePtr hold(List& list, const Params& params, Completion completion)
{
    list.append({params, std::move(completion)});
    return std::make_shared<FlagTask>(list.last().cancelled);
}

} // namespace

TaskHandlePtr FakeFileRecognitionService::recognizeAudioFile(const RecognizeAudioFileParams& params,
                                                             RecognizeCompletion completion)
{
    return hold(recognitions, params, std::move(completion));
}

TaskHandlePtr FakeFileRecognitionService::updateRecognizeRecord(const RecognizeRecordUpdateReq& request,
                                                                UpdateCompletion completion)
{
    return hold(updates, request, std::move(completion));
}

TaskHandlePtr FakeTextAdjustmentService::adjustText(const AdjustTextParams& params, Completion completion)
{
    return hold(adjustments, params, std::move(completion));
}

} // namespace velnor
