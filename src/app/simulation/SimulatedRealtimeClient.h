#pragma once

#include "asr/RealtimeRecognitionClient.h"
#include "core/Lifetime.h"

#include <QStringList>

namespace velnor {

class Scheduler;

// A real-time client for the headless simulation: "hears" one word every
// half second while recording and sends the final text shortly after stop.
class SimulatedRealtimeClient final : public RealtimeRecognitionClient {
public:
    SimulatedRealtimeClient(Scheduler& scheduler, QStringList words);

    void connectAndStartRecording() override;
    void stopRecording() override;
    void disconnect() override { m_connected = false; }
    QString currentText() const override { return m_currentText; }
    QString finalText() const override { return m_finalText; }
    void setRecognitionCompletionHandler(CompletionHandler handler) override { m_handler = std::move(handler); }
    void setPartialTextHandler(PartialTextHandler handler) override { m_partialText = std::move(handler); }

private:
    void hearNextWord();

    Scheduler& m_scheduler;
    QStringList m_words;
    QString m_currentText;
    QString m_finalText;
    CompletionHandler m_handler;
    PartialTextHandler m_partialText;
    bool m_recording = false;
    bool m_connected = false;
    Lifetime m_lifetime;
};

} // namespace velnor
