#include "platform/linux/evdev/EvdevKeyReader.h"

#include <linux/input.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velnor::evdev {

EvdevKeyReader::EvdevKeyReader(int fd, Handlers handlers)
    : m_fd(fd)
    , m_handlers(std::move(handlers))
{
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
}

EvdevKeyReader::~EvdevKeyReader()
{
    m_notifier.reset();
    close(m_fd);
}

void EvdevKeyReader::readAvailable()
{
    // An event node hands out whole records only (and a pipe keeps small
    // writes whole).
    input_event events[64];
    for (;;) {
        const ssize_t got = read(m_fd, events, sizeof events);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got <= 0) {
            // ENODEV when unplugged, 0 at the end of a stream.
            m_notifier->setEnabled(false);
            if (m_handlers.gone)
                m_handlers.gone();
            return;
        }
        for (size_t i = 0; i < size_t(got) / sizeof(input_event); ++i) {
            const input_event& event = events[i];
            if (event.type == EV_KEY && event.value != 2 && m_handlers.key)
                m_handlers.key(event.code, event.value == 1);
            else if (event.type == EV_LED && event.code == LED_CAPSL && m_handlers.capsLock)
                m_handlers.capsLock(event.value != 0);
        }
    }
}

} // namespace velnor::evdev
