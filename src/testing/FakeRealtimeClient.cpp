#include "testing/FakeRealtimeClient.h"

namespace velnor {

FakeRealtimeClient::FakeRealtimeClient(std::shared_ptr<FakeRealtimeClientRecord> record)
    : m_record(std::move(record))
{
}

FakeRealtimeClient::~FakeRealtimeClient()
{
    m_record->alive = false;
}

RealtimeRecognitionClientFactory FakeRealtimeClientFactory::factory()
{
    return [this]() -> std::unique_ptr<RealtimeRecognitionClient> {
        if (failCreation)
            return nullptr;
        auto record = std::make_shared<FakeRealtimeClientRecord>();
        clients.append(record);
        return std::make_unique<FakeRealtimeClient>(record);
    };
}

} // namespace velnor
