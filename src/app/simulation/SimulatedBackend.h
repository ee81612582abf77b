#pragma once

#include "backend/FileRecognitionService.h"

#include <QStringList>

namespace velnor {

class Scheduler;

// A stand-in backend for the headless simulation: answers recognitions and
// corrections with scripted texts after a network-like delay.
class SimulatedBackend final : public FileRecognitionService, public TextAdjustmentService {
public:
    SimulatedBackend(Scheduler& scheduler, QStringList recognitionTexts);

    TaskHandlePtr recognizeAudioFile(const RecognizeAudioFileParams& params, RecognizeCompletion completion) override;
    TaskHandlePtr updateRecognizeRecord(const RecognizeRecordUpdateReq& request, UpdateCompletion completion) override;
    TaskHandlePtr adjustText(const AdjustTextParams& params, TextAdjustmentService::Completion completion) override;

private:
    Scheduler& m_scheduler;
    QStringList m_recognitionTexts;
    int m_records = 0;
};

} // namespace velnor
