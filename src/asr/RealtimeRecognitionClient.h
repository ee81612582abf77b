#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace velnor {

// The real-time client of one dictation, as the dictation controller uses it:
// captures 16 kHz audio, streams it to the recogniser, and hands the final
// transcript to the completion handler (on the main thread).
class RealtimeRecognitionClient {
public:
    using CompletionHandler = std::function<void(const QString& finalText)>;
    using PartialTextHandler = std::function<void(const QString& partialText)>;

    RealtimeRecognitionClient() = default;
    virtual ~RealtimeRecognitionClient() = default;
    RealtimeRecognitionClient(const RealtimeRecognitionClient&) = delete;
    RealtimeRecognitionClient& operator=(const RealtimeRecognitionClient&) = delete;

    virtual void connectAndStartRecording() = 0;
    // Stops capture; the stream ends and the final text follows.
    virtual void stopRecording() = 0;
    virtual void disconnect() = 0;

    virtual QString currentText() const = 0;
    virtual QString finalText() const = 0;

    virtual void setRecognitionCompletionHandler(CompletionHandler handler) = 0;
    // Each newer partial transcript while the dictation runs (main thread).
    virtual void setPartialTextHandler(PartialTextHandler handler) = 0;
};

// Makes the client for a new dictation; may return none when it cannot be built.
using RealtimeRecognitionClientFactory = std::function<std::unique_ptr<RealtimeRecognitionClient>()>;

} // namespace velnor
