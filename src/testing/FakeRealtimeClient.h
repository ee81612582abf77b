#pragma once

#include "asr/RealtimeRecognitionClient.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace velnor {

// What one fake real-time client was asked to do. Outlives the client, so
// tests can look after the controller dropped it.
struct FakeRealtimeClientRecord {
    QStringList calls;
    QString currentText;
    QString finalText;
    RealtimeRecognitionClient::CompletionHandler handler;
    RealtimeRecognitionClient::PartialTextHandler partialHandler;
    bool alive = true;

    // Delivers a partial transcript as the client would.
    void partial(const QString& text)
    {
        currentText = text;
        if (alive && partialHandler)
            partialHandler(text);
    }

    // Delivers a final transcript as the client would (no-op once destroyed).
    void complete(const QString& text) const
    {
        if (alive && handler)
            handler(text);
    }
};

class FakeRealtimeClient final : public RealtimeRecognitionClient {
public:
    explicit FakeRealtimeClient(std::shared_ptr<FakeRealtimeClientRecord> record);
    ~FakeRealtimeClient() override;

    void connectAndStartRecording() override { m_record->calls << QStringLiteral("connectAndStartRecording"); }
    void stopRecording() override { m_record->calls << QStringLiteral("stopRecording"); }
    void disconnect() override { m_record->calls << QStringLiteral("disconnect"); }
    QString currentText() const override { return m_record->currentText; }
    QString finalText() const override { return m_record->finalText; }
    void setRecognitionCompletionHandler(CompletionHandler handler) override { m_record->handler = std::move(handler); }
    void setPartialTextHandler(PartialTextHandler handler) override { m_record->partialHandler = std::move(handler); }

private:
    std::shared_ptr<FakeRealtimeClientRecord> m_record;
};

// Hands out fake clients and keeps their records, newest last.
class FakeRealtimeClientFactory final {
public:
    RealtimeRecognitionClientFactory factory();

    bool failCreation = false;
    QList<std::shared_ptr<FakeRealtimeClientRecord>> clients;
};

} // namespace velnor
