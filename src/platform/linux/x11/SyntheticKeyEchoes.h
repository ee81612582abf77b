#pragma once

#include <QList>

#include <cstdint>
#include <functional>

namespace velnor::x11 {

// The key events this process posts through XTest come back to the global
// key listener like any other XTest input. The synthesizer announces each one
// here before posting it; the listener drops an XTest event that matches an
// announcement, so a paste's Ctrl+V never reaches the hotkey while XTest input
// from anyone else (a test driver, an on-screen keyboard) still does.
class SyntheticKeyEchoes final {
public:
    // `nowMs` is a monotonic clock in milliseconds.
    explicit SyntheticKeyEchoes(std::function<std::int64_t()> nowMs);

    void expect(std::uint32_t xKeycode, bool press);
    // True (and the announcement is used up) when the event is one we posted.
    bool consume(std::uint32_t xKeycode, bool press);
    int pending() const { return static_cast<int>(m_expected.size()); }

    // An echo that has not come back by then never will.
    static constexpr std::int64_t kEchoLifetimeMs = 2000;

private:
    struct Expected {
        std::uint32_t xKeycode;
        bool press;
        std::int64_t postedAtMs;
    };
    void dropExpired();

    std::function<std::int64_t()> m_nowMs;
    QList<Expected> m_expected;
};

} // namespace velnor::x11
