#pragma once

#include "core/WorkPool.h"
#include "http/ApiRequest.h"

#include <QHttpServerRequest>
#include <QString>

#include <functional>

class QHttpServer;

namespace velnor::server {

class FaultInjector;

// Puts API handlers on the HTTP server. Every handler runs on a worker thread
// (recognition takes seconds; nothing may block the event loop), and its answer
// is written back only if the client is still connected. Work beyond the
// workers and their bounded queue is answered 503 at once. Bodies above the upload limit are refused before any handler sees them;
// with a fault injector, armed faults are applied around the handlers.
class ApiRouter final {
public:
    using Handler = std::function<ApiReply(const ApiRequest&)>;

    ApiRouter(QHttpServer& http, qint64 maxBodyBytes, FaultInjector* faults);
    ~ApiRouter();
    ApiRouter(const ApiRouter&) = delete;
    ApiRouter& operator=(const ApiRouter&) = delete;

    void add(QHttpServerRequest::Method method, const QString& path, Handler handler);
    // A route whose handlers run on `pool` (slow work kept off the shared
    // workers); when that pool is full the request is answered 503 at once.
    void add(QHttpServerRequest::Method method, const QString& path, Handler handler, WorkPool& pool);
    // A route reachable from loopback addresses only (others get HTTP 404) and never faulted.
    void addLoopbackOnly(QHttpServerRequest::Method method, const QString& path, Handler handler);

    // From now on requests still queued and new ones are answered 503; running ones finish.
    void drain() { m_pool.drain(); }
    // No handler of the shared workers is running or queued.
    bool idle() const { return m_pool.idle(); }
    // Waits for the handlers still running (before the stores they use go away).
    void shutdown();

private:
    class PendingAnswer;

    void route(QHttpServerRequest::Method method, const QString& path, Handler handler, bool loopbackOnly,
               WorkPool& pool);
    ApiReply run(const ApiRequest& request, const Handler& handler, bool loopbackOnly) const;
    // The answer to a request no worker can take (full, or shutting down).
    static ApiReply busy(QHttpServerRequest::Method method, const QString& path);

    QHttpServer& m_http;
    qint64 m_maxBodyBytes;
    FaultInjector* m_faults;
    WorkPool m_pool;
};

} // namespace velnor::server
