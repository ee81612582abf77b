#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace velnor::evdev {

// Reads the `input_event` records of one input device from any file
// descriptor (an event node, or a pipe in tests) as they arrive, woken by a
// socket notifier. Never grabs: other programs see the same keys.
class EvdevKeyReader final {
public:
    struct Handlers {
        // An evdev key code went down (true) or up (false); repeats are dropped.
        std::function<void(int code, bool pressed)> key;
        // The keyboard's Caps Lock light, as the compositor set it.
        std::function<void(bool on)> capsLock;
        // The device went away (unplugged, or the stream ended).
        std::function<void()> gone;
    };

    // Takes ownership of `fd` (non-blocking is set here).
    EvdevKeyReader(int fd, Handlers handlers);
    ~EvdevKeyReader();
    EvdevKeyReader(const EvdevKeyReader&) = delete;
    EvdevKeyReader& operator=(const EvdevKeyReader&) = delete;

private:
    void readAvailable();

    int m_fd;
    Handlers m_handlers;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velnor::evdev
