#pragma once

#include "http/ApiRequest.h"

#include <QHttpServerRequest>
#include <QString>
#include <QThreadPool>

#include <functional>

class QHttpServer;

namespace velnor::server {

class FaultInjector;

// Puts API handlers on the HTTP server. Every handler runs on a worker thread
// (recognition takes seconds; nothing may block the event loop), and its answer
// is written back only if the client is still connected. Bodies above the upload limit are refused before any handler sees them;
// with a fault injector, armed faults are applied around the handlers.
class ApiRouter final {
public:
    using Handler = std::function<ApiReply(const ApiRequest&)>;

    ApiRouter(QHttpServer& http, qint64 maxBodyBytes, FaultInjector* faults);
    ~ApiRouter();
    ApiRouter(const ApiRouter&) = delete;
    ApiRouter& operator=(const ApiRouter&) = delete;

    void add(QHttpServerRequest::Method method, const QString& path, Handler handler);
    // A route reachable from loopback addresses only (others get HTTP 404) and never faulted.
    void addLoopbackOnly(QHttpServerRequest::Method method, const QString& path, Handler handler);

    // Waits for the handlers still running (before the stores they use go away).
    void shutdown();

private:
    class PendingAnswer;

    void route(QHttpServerRequest::Method method, const QString& path, Handler handler, bool loopbackOnly);
    ApiReply run(const ApiRequest& request, const Handler& handler, bool loopbackOnly) const;

    QHttpServer& m_http;
    qint64 m_maxBodyBytes;
    FaultInjector* m_faults;
    QThreadPool m_pool;
};

} // namespace velnor::server
