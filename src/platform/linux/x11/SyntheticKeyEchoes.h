#pragma once

#include <QList>

#include <cstdint>
#include <functional>
#include <optional>

namespace velnor::x11 {

// The key events this process posts through XTest come back to the global
// key listener like any other XTest input. The synthesizer announces each one
// here before posting it; the listener drops an XTest event that matches an
// announcement, so a paste's Ctrl+V never reaches the hotkey while XTest input
// from anyone else (a test driver, an on-screen keyboard) still does.
//
// An announcement's lifetime starts when the listener has next read what the
// server sent, not when it was posted: the GUI thread both posts and listens,
// and after it stalled for seconds our own Ctrl/Shift are still ours.
class SyntheticKeyEchoes final {
public:
    // `nowMs` is a monotonic clock in milliseconds.
    explicit SyntheticKeyEchoes(std::function<std::int64_t()> nowMs);

    void expect(std::uint32_t xKeycode, bool press);
    // True (and the announcement is used up) when the event is one we posted.
    bool consume(std::uint32_t xKeycode, bool press);
    // The listener has read every event the server had sent so far: pending
    // announcements start their lifetime now.
    void listenerCaughtUp();
    int pending() const { return static_cast<int>(m_expected.size()); }

    // An echo that has not come back this long after the listener caught up never will.
    static constexpr std::int64_t kEchoLifetimeMs = 2000;
    // A listener that never reads must not make the list grow without end.
    static constexpr int kMaxPending = 256;

private:
    struct Expected {
        std::uint32_t xKeycode;
        bool press;
        std::optional<std::int64_t> listenerCaughtUpAtMs;
    };
    void dropExpired();

    std::function<std::int64_t()> m_nowMs;
    QList<Expected> m_expected;
};

} // namespace velnor::x11
