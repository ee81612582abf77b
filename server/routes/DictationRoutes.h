#pragma once

#include "http/ApiRequest.h"
#include "recognition/Recognizer.h"
#include "routes/Authenticator.h"

namespace velnor::server {

class ApiRouter;
class HotWordStore;
struct HotWord;
class RecognitionRecords;
class RecognitionScript;
class WorkPool;

// "/qasr/recognize" (an uploaded recording to text), "/qasr/recognize/update"
// (how the text was delivered) and "/qasr/adjust" (correcting a transcript).
// Signed-out clients may dictate; a token, when sent, must be valid, and a
// signed-in user's hot words correct the text and the words count towards the
// user's total. An upload is decoded only when it is a self-contained m4a or
// wav file no longer than the app's longest recording.
class DictationRoutes final {
public:
    static constexpr qsizetype kMaxTextLength = 100000;

    // Uploads are recognised by `recognizer` on `recognitionWork`, apart from the other endpoints'
    // workers; a recognition slower than `recognitionTimeout` is answered with an error.
    DictationRoutes(ApiRouter& router, WorkPool& recognitionWork, FileRecognizer& recognizer,
                    std::chrono::milliseconds recognitionTimeout, RecognitionScript& script,
                    RecognitionRecords& records, HotWordStore& hotWords, const Authenticator& authenticator);

private:
    ApiReply recognize(const ApiRequest& request);
    ApiReply updateRecord(const ApiRequest& request);
    ApiReply adjust(const ApiRequest& request);
    QList<HotWord> hotWordsOf(const Authenticator::Caller& caller);
    QString corrected(const QString& text, const Authenticator::Caller& caller);

    FileRecognizer& m_recognizer;
    const std::chrono::milliseconds m_recognitionTimeout;
    RecognitionScript& m_script;
    RecognitionRecords& m_records;
    HotWordStore& m_hotWords;
    const Authenticator& m_authenticator;
};

} // namespace velnor::server
