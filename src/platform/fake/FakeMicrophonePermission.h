#pragma once

#include "platform/MicrophonePermission.h"

#include <optional>

namespace velnor {

// A permission with a fixed status; request() answers with `answer` at once
// (on the calling thread, the main thread in the app), and records the ask.
class FakeMicrophonePermission final : public MicrophonePermission {
public:
    explicit FakeMicrophonePermission(Status status = Status::Authorized, bool answer = true)
        : m_status(status)
        , m_answer(answer)
    {
    }

    Status status() const override { return m_status; }
    void request(std::function<void(bool granted)> answer) override;

    void setStatus(Status status) { m_status = status; }
    int requestCount() const { return m_requests; }

private:
    Status m_status;
    bool m_answer;
    int m_requests = 0;
};

} // namespace velnor
