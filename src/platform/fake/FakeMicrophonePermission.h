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
    QString reason() const override { return m_status == Status::Authorized ? QString() : reasonText; }
    void request(std::function<void(bool granted)> answer) override;
    void setStatusObserver(std::function<void(Status)> observer) override { m_observer = std::move(observer); }

    // A live change, as a microphone plugged in or out.
    void setStatus(Status status)
    {
        const bool changed = status != m_status;
        m_status = status;
        if (changed && m_observer)
            m_observer(status);
    }
    int requestCount() const { return m_requests; }

private:
public:
    QString reasonText = QStringLiteral("没有可用的麦克风");

private:
    Status m_status;
    bool m_answer;
    std::function<void(Status)> m_observer;
    int m_requests = 0;
};

} // namespace velnor
