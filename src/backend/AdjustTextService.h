#pragma once

#include "backend/APIClient.h"
#include "backend/FileRecognitionService.h"
#include "backend/ServiceErrorMapping.h"

namespace velnor {

// Text correction through "/qasr/adjust". Stateless.
class AdjustTextService final : public TextAdjustmentService {
public:
    AdjustTextService(APIClient& client, Scheduler& mainQueue, Logger& log);

    TaskHandlePtr adjustText(const AdjustTextParams& params, Completion completion) override;

    static const ServiceErrorTexts& errorTexts();
    // The JSON body: "base64_text" always, the other keys only when present.
    static QJsonObject parameters(const AdjustTextParams& params, const QString& base64Text);

private:
    void deliver(const Completion& completion, const Result<APIResponse, APIClientError>& result);

    APIClient& m_client;
    Scheduler& m_mainQueue;
    Logger& m_log;
};

// False when the text holds an unpaired surrogate: it has no UTF-8 form, and
// a lossy conversion would send a different text than the user dictated.
bool isEncodableAsUtf8(const QString& text);

} // namespace velnor
