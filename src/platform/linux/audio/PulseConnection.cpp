#include "platform/linux/audio/PulseConnection.h"

#include "platform/linux/audio/PulseSourceInfo.h"

#include <pulse/pulseaudio.h>

namespace velnor {

// One round of "list the sources, read the default" on the loop thread.
class PulseConnection::Listing final {
public:
    explicit Listing(PulseConnection& owner)
        : m_owner(owner)
    {
    }

    void start(pa_context* context)
    {
        track(pa_context_get_source_info_list(context, &Listing::onSource, this));
        track(pa_context_get_server_info(context, &Listing::onServer, this));
        if (m_pending < 2)
            m_sources.add(nullptr, -1, QString::fromUtf8(pa_strerror(pa_context_errno(context))));
    }

    bool isFinished() const { return m_pending == 0; }

    Result<Snapshot, QString> result() const
    {
        const auto sources = m_sources.result();
        if (!sources)
            return Result<Snapshot, QString>::failure(sources.error());
        return Result<Snapshot, QString>::success(Snapshot{sources.value(), m_defaultSource});
    }

private:
    void track(pa_operation* operation)
    {
        if (!operation)
            return;
        ++m_pending;
        pa_operation_unref(operation);
    }

    // The last thing either callback does: the owner may delete the listing.
    void finishOne()
    {
        if (--m_pending == 0)
            m_owner.listingFinished(this);
    }

    static void onSource(pa_context* context, const pa_source_info* info, int eol, void* self)
    {
        auto* listing = static_cast<Listing*>(self);
        listing->m_sources.add(info, eol, eol < 0 ? QString::fromUtf8(pa_strerror(pa_context_errno(context))) : QString());
        if (eol != 0)
            listing->finishOne();
    }

    static void onServer(pa_context*, const pa_server_info* info, void* self)
    {
        auto* listing = static_cast<Listing*>(self);
        if (info && info->default_source_name)
            listing->m_defaultSource = QString::fromUtf8(info->default_source_name);
        listing->finishOne();
    }

    PulseConnection& m_owner;
    SourceListing m_sources;
    QString m_defaultSource;
    int m_pending = 0;
};

PulseConnection::Lock::Lock(const PulseConnection& connection)
    : m_loop(connection.m_loop)
{
    pa_threaded_mainloop_lock(m_loop);
}

PulseConnection::Lock::~Lock()
{
    pa_threaded_mainloop_unlock(m_loop);
}

PulseConnection::PulseConnection(QByteArray clientName, QByteArray server)
    : m_clientName(std::move(clientName))
    , m_server(std::move(server))
{
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0) {
        publish(Result<Snapshot, QString>::failure(QStringLiteral("PulseAudio 线程无法启动")));
        return;
    }
    Lock lock(*this);
    startAttempt();
}

PulseConnection::~PulseConnection()
{
    if (!m_loop)
        return;
    {
        Lock lock(*this);
        if (m_reconnectTimer)
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_reconnectTimer);
        m_reconnectTimer = nullptr;
        if (m_context) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
        }
    }
    // The loop thread ends here: no callback runs after this.
    pa_threaded_mainloop_stop(m_loop);
    delete m_listing;
    if (m_context)
        pa_context_unref(m_context);
    pa_threaded_mainloop_free(m_loop);
}

void PulseConnection::startAttempt()
{
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), m_clientName.constData());
    if (!m_context) {
        publish(Result<Snapshot, QString>::failure(QStringLiteral("PulseAudio 客户端无法创建")));
        scheduleReconnect();
        return;
    }
    pa_context_set_state_callback(
        m_context, [](pa_context*, void* self) { static_cast<PulseConnection*>(self)->onContextState(); }, this);
    const char* server = m_server.isEmpty() ? nullptr : m_server.constData();
    if (pa_context_connect(m_context, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        onContextState(); // failed at once: same path as a failure reported later
}

void PulseConnection::onContextState()
{
    switch (pa_context_get_state(m_context)) {
    case PA_CONTEXT_READY:
        pa_context_set_subscribe_callback(
            m_context,
            [](pa_context*, pa_subscription_event_type_t, uint32_t, void* self) {
                static_cast<PulseConnection*>(self)->beginListing();
            },
            this);
        if (pa_operation* subscribe = pa_context_subscribe(
                m_context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER), nullptr, nullptr))
            pa_operation_unref(subscribe);
        beginListing();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: {
        const int code = pa_context_errno(m_context);
        const QString error = QString::fromUtf8(pa_strerror(code));
        // The server's answers to this context will never come.
        delete m_listing;
        m_listing = nullptr;
        m_listAgain = false;
        publish(Result<Snapshot, QString>::failure(error), code == PA_ERR_ACCESS || code == PA_ERR_AUTHKEY);
        scheduleReconnect();
        break;
    }
    default:
        break;
    }
}

void PulseConnection::scheduleReconnect()
{
    if (m_reconnectTimer)
        return;
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t(ReconnectDelayMs) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    m_reconnectTimer = api->time_new(api, &when, &PulseConnection::onReconnectTimer, this);
}

void PulseConnection::onReconnectTimer(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* self)
{
    auto* connection = static_cast<PulseConnection*>(self);
    api->time_free(event);
    connection->m_reconnectTimer = nullptr;
    if (connection->m_context) {
        pa_context_set_state_callback(connection->m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(connection->m_context, nullptr, nullptr);
        pa_context_disconnect(connection->m_context);
        pa_context_unref(connection->m_context);
        connection->m_context = nullptr;
    }
    connection->startAttempt();
}

void PulseConnection::beginListing()
{
    // Change events come in bursts: one listing at a time, one more after it.
    if (m_listing) {
        m_listAgain = true;
        return;
    }
    m_listing = new Listing(*this);
    m_listing->start(m_context);
    if (m_listing->isFinished()) // nothing could be asked
        listingFinished(m_listing);
}

void PulseConnection::listingFinished(Listing* listing)
{
    publish(listing->result());
    delete listing;
    m_listing = nullptr;
    if (m_listAgain) {
        m_listAgain = false;
        beginListing();
    }
}

void PulseConnection::publish(Result<Snapshot, QString> result, bool refused)
{
    std::function<void()> observer;
    {
        const std::lock_guard lock(m_mutex);
        m_snapshot = std::move(result);
        m_settled = true;
        m_refused = refused;
        observer = m_changeObserver;
    }
    if (observer)
        observer();
}

bool PulseConnection::isRefused() const
{
    const std::lock_guard lock(m_mutex);
    return m_refused;
}

void PulseConnection::setChangeObserver(std::function<void()> observer)
{
    // Under the loop's lock too: once this returns, the old observer is not running.
    std::optional<Lock> loop;
    if (m_loop)
        loop.emplace(*this);
    const std::lock_guard lock(m_mutex);
    m_changeObserver = std::move(observer);
}

Result<PulseConnection::Snapshot, QString> PulseConnection::snapshot() const
{
    const std::lock_guard lock(m_mutex);
    return m_snapshot;
}

bool PulseConnection::isSettled() const
{
    const std::lock_guard lock(m_mutex);
    return m_settled;
}

void PulseConnection::noteDefaultSource(const QString& name)
{
    const std::lock_guard lock(m_mutex);
    if (m_snapshot)
        m_snapshot.value().defaultSource = name;
}

void PulseConnection::refreshLocked()
{
    if (readyContext())
        beginListing();
}

pa_context* PulseConnection::readyContext() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY ? m_context : nullptr;
}

QString PulseConnection::lastError() const
{
    if (!m_context)
        return QStringLiteral("PulseAudio 服务器未连接");
    return QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
}

} // namespace velnor
