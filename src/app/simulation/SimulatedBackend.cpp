#include "app/simulation/SimulatedBackend.h"

#include "core/Scheduler.h"

namespace velnor {

namespace {

constexpr Duration kNetworkDelay = seconds(0.6);

class ScheduledTask final : public TaskHandle {
public:
    explicit ScheduledTask(Cancellable handle)
        : m_handle(std::move(handle))
    {
    }
    void cancel() override { m_handle.cancel(); }

private:
    Cancellable m_handle;
};

} // namespace

SimulatedBackend::SimulatedBackend(Scheduler& scheduler, QStringList recognitionTexts)
    : m_scheduler(scheduler)
    , m_recognitionTexts(std::move(recognitionTexts))
{
}

TaskHandlePtr SimulatedBackend::recognizeAudioFile(const RecognizeAudioFileParams& params, RecognizeCompletion completion)
{
    RecognizeAudioFileResponse response;
    response.text = m_recognitionTexts.isEmpty() ? QString() : m_recognitionTexts.takeFirst();
    response.id = QStringLiteral("sim-record-%1").arg(++m_records);
    response.overOver = false;
    Q_UNUSED(params);
    return std::make_shared<ScheduledTask>(m_scheduler.after(kNetworkDelay, [completion, response] {
        completion(Result<RecognizeAudioFileResponse, ServiceError>::success(response));
    }));
}

TaskHandlePtr SimulatedBackend::updateRecognizeRecord(const RecognizeRecordUpdateReq&, UpdateCompletion completion)
{
    return std::make_shared<ScheduledTask>(
        m_scheduler.after(kNetworkDelay, [completion] { completion(Result<bool, ServiceError>::success(true)); }));
}

TaskHandlePtr SimulatedBackend::adjustText(const AdjustTextParams& params, TextAdjustmentService::Completion completion)
{
    // The correction capitalises the first letter and ends the sentence.
    QString corrected = params.text.trimmed();
    if (!corrected.isEmpty()) {
        corrected[0] = corrected.at(0).toUpper();
        if (!corrected.endsWith(QLatin1Char('.')))
            corrected += QLatin1Char('.');
    }
    AdjustTextResponse response;
    response.id = QStringLiteral("sim-adjust-%1").arg(++m_records);
    response.text = corrected;
    return std::make_shared<ScheduledTask>(m_scheduler.after(kNetworkDelay, [completion, response] {
        completion(Result<AdjustTextResponse, ServiceError>::success(response));
    }));
}

} // namespace velnor
