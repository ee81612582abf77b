#include "platform/linux/audio/PulseConnection.h"

#include <pulse/pulseaudio.h>

namespace velnor {

namespace {

void signalLoop(pa_context*, void* loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

bool contextAlive(pa_context* context)
{
    const pa_context_state_t state = pa_context_get_state(context);
    return state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED;
}

struct Deadline {
    pa_threaded_mainloop* loop;
    bool passed = false;
};

void deadlinePassed(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* userdata)
{
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->passed = true;
    api->time_free(event);
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

} // namespace

PulseConnection::Lock::Lock(const PulseConnection& connection)
    : m_loop(connection.m_loop)
{
    pa_threaded_mainloop_lock(m_loop);
}

PulseConnection::Lock::~Lock()
{
    pa_threaded_mainloop_unlock(m_loop);
}

PulseConnection::PulseConnection(const char* clientName)
{
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        return;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), clientName);
    if (m_context)
        pa_context_set_state_callback(m_context, signalLoop, m_loop);
}

PulseConnection::~PulseConnection()
{
    if (m_started && m_context) {
        {
            Lock lock(*this);
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
        }
    }
    if (m_started)
        pa_threaded_mainloop_stop(m_loop);
    if (m_context)
        pa_context_unref(m_context);
    if (m_loop)
        pa_threaded_mainloop_free(m_loop);
}

QString PulseConnection::lastError() const
{
    if (!m_context)
        return QStringLiteral("PulseAudio 客户端无法创建");
    return QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
}

bool PulseConnection::waitUntil(const std::function<bool()>& ready, int timeoutMs)
{
    Deadline deadline{m_loop};
    pa_time_event* timer = pa_context_rttime_new(m_context, pa_rtclock_now() + pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC,
                                                 deadlinePassed, &deadline);
    while (!ready() && !deadline.passed && contextAlive(m_context))
        pa_threaded_mainloop_wait(m_loop);
    if (!deadline.passed && timer)
        pa_threaded_mainloop_get_api(m_loop)->time_free(timer);
    return ready();
}

std::optional<QString> PulseConnection::connect(int timeoutMs)
{
    if (!m_loop || !m_context)
        return QStringLiteral("PulseAudio 客户端无法创建");
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return lastError();
    if (pa_threaded_mainloop_start(m_loop) < 0)
        return QStringLiteral("PulseAudio 线程无法启动");
    m_started = true;
    Lock lock(*this);
    const bool ready = waitUntil([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; }, timeoutMs);
    if (ready)
        return std::nullopt;
    return contextAlive(m_context) ? QStringLiteral("PulseAudio 服务器无响应") : lastError();
}

bool PulseConnection::run(const std::function<pa_operation*(std::function<void()> done)>& begin, int timeoutMs)
{
    bool finished = false;
    Lock lock(*this);
    pa_operation* operation = begin([this, &finished] {
        finished = true;
        pa_threaded_mainloop_signal(m_loop, 0);
    });
    if (!operation)
        return false;
    const bool ok = waitUntil([&finished] { return finished; }, timeoutMs);
    if (!ok)
        pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return ok;
}

} // namespace velnor
