#pragma once

#include "http/ApiRequest.h"
#include "routes/Authenticator.h"

namespace velnor::server {

class ApiRouter;
class HotWordStore;
class RecognitionRecords;
class RecognitionScript;
class RecognizerPool;

// "/qasr/recognize" (an uploaded recording to text), "/qasr/recognize/update"
// (how the text was delivered) and "/qasr/adjust" (correcting a transcript).
// Signed-out clients may dictate; a token, when sent, must be valid, and a
// signed-in user's hot words correct the text and the words count towards the
// user's total.
class DictationRoutes final {
public:
    static constexpr double kMaxAudioSeconds = 300.0;
    static constexpr qsizetype kMaxTextLength = 100000;

    DictationRoutes(ApiRouter& router, RecognizerPool& recognizers, RecognitionScript& script,
                    RecognitionRecords& records, HotWordStore& hotWords, const Authenticator& authenticator);

private:
    ApiReply recognize(const ApiRequest& request);
    ApiReply updateRecord(const ApiRequest& request);
    ApiReply adjust(const ApiRequest& request);
    QString corrected(const QString& text, const Authenticator::Caller& caller);

    RecognizerPool& m_recognizers;
    RecognitionScript& m_script;
    RecognitionRecords& m_records;
    HotWordStore& m_hotWords;
    const Authenticator& m_authenticator;
};

} // namespace velnor::server
