#include "http/ApiRouter.h"

#include "http/Envelope.h"
#include "http/FaultInjector.h"

#include <QElapsedTimer>
#include <QHttpServer>
#include <QHttpServerResponder>
#include <QHttpServerRouterRule>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace velnor::server {

namespace {

constexpr int kWorkerThreads = 16;
constexpr int kMaxQueuedRequests = 256;

const char* methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Post: return "POST";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    case QHttpServerRequest::Method::Put: return "PUT";
    default: return "OTHER";
    }
}

// Matches requests that an armed "drop the connection" fault takes (deciding
// uses the fault up), so the socket is closed before any normal route answers.
class DropConnectionRule final : public QHttpServerRouterRule {
public:
    DropConnectionRule(const QString& pattern, FaultInjector* faults, RouterHandler handler)
        : QHttpServerRouterRule(pattern, std::move(handler))
        , m_faults(faults)
    {
    }

protected:
    bool matches(const QHttpServerRequest& request, QRegularExpressionMatch*) const override
    {
        return !request.url().path().startsWith(QLatin1String("/__test/"))
            && m_faults->drops(request.url().path());
    }

private:
    FaultInjector* m_faults;
};

} // namespace

// A responder kept while a worker thread prepares the answer. The HTTP server
// deletes a socket soon after its client goes away (and the request with it);
// the answer is written only if the socket is still there, checked on the
// socket's own thread. (Answering through a future is no way round this: the
// server's continuation writes to the deleted socket.)
class ApiRouter::PendingAnswer {
public:
    explicit PendingAnswer(QHttpServerResponder&& responder)
        : m_socket(responder.socket())
        , m_responder(std::move(responder))
    {
    }

    void answer(const ApiReply& reply)
    {
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        m_responder.write(reply.body, reply.contentType, static_cast<QHttpServerResponder::StatusCode>(reply.httpStatus));
    }

private:
    QPointer<QTcpSocket> m_socket;
    QHttpServerResponder m_responder;
};


ApiRouter::ApiRouter(QHttpServer& http, qint64 maxBodyBytes, FaultInjector* faults)
    : m_http(http)
    , m_maxBodyBytes(maxBodyBytes)
    , m_faults(faults)
    , m_pool(kWorkerThreads, kMaxQueuedRequests)
{
    if (m_faults) {
        FaultInjector* injector = m_faults;
        m_http.route<DropConnectionRule>(
            QStringLiteral("/"), injector,
            [injector](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                qInfo("%s %s -> connection dropped (injected fault)", methodName(request.method()),
                      qPrintable(request.url().path(QUrl::FullyEncoded)));
                // The answer is cut off after its headers: a connection closed before any
                // byte arrived would be quietly resent by HTTP clients, hiding the failure.
                QTcpSocket* socket = responder.socket();
                const auto cut = [socket] {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 4096\r\n\r\n");
                    socket->disconnectFromHost();
                };
                const int delayMs = injector->dropDelayMs();
                if (delayMs <= 0)
                    cut();
                else  // only the socket is kept (the timer dies with it), never the responder
                    QTimer::singleShot(delayMs, socket, cut);
            });
    }

    m_http.setMissingHandler([](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        qInfo("%s %s -> no such endpoint", methodName(request.method()),
              qPrintable(request.url().path(QUrl::FullyEncoded)));
        const ApiReply reply = Envelope::failure(Envelope::NotFound, QStringLiteral("no such endpoint"));
        responder.write(reply.body, reply.contentType, QHttpServerResponder::StatusCode::NotFound);
    });
}

ApiRouter::~ApiRouter()
{
    shutdown();
}

void ApiRouter::shutdown()
{
    m_pool.waitForDone();
}

void ApiRouter::add(QHttpServerRequest::Method method, const QString& path, Handler handler)
{
    route(method, path, std::move(handler), false, m_pool);
}

void ApiRouter::add(QHttpServerRequest::Method method, const QString& path, Handler handler, WorkPool& pool)
{
    route(method, path, std::move(handler), false, pool);
}

void ApiRouter::addLoopbackOnly(QHttpServerRequest::Method method, const QString& path, Handler handler)
{
    route(method, path, std::move(handler), true, m_pool);
}

void ApiRouter::route(QHttpServerRequest::Method method, const QString& path, Handler handler, bool loopbackOnly,
                      WorkPool& pool)
{
    m_http.route(path, method,
                 [this, handler = std::move(handler), loopbackOnly, &pool](const QHttpServerRequest& request,
                                                                            QHttpServerResponder&& responder) {
                     auto pending = std::make_shared<PendingAnswer>(std::move(responder));
                     const bool taken = pool.tryStart([this, copy = ApiRequest::from(request), handler, loopbackOnly,
                                                       pending](bool runIt) {
                         const ApiReply reply = runIt ? run(copy, handler, loopbackOnly) : busy(copy.method, copy.path);
                         // Back on the thread that owns the sockets, where the guard can be trusted.
                         QMetaObject::invokeMethod(
                             &m_http, [pending, reply] { pending->answer(reply); }, Qt::QueuedConnection);
                     });
                     if (!taken)
                         pending->answer(busy(request.method(), request.url().path()));
                 });
}

ApiReply ApiRouter::busy(QHttpServerRequest::Method method, const QString& path)
{
    ApiReply reply = Envelope::failure(Envelope::Unavailable, QStringLiteral("the server is busy; try again shortly"));
    reply.httpStatus = 503;
    qInfo("%s %s -> HTTP 503, code 503 (busy)", methodName(method), qPrintable(path));
    return reply;
}

ApiReply ApiRouter::run(const ApiRequest& request, const Handler& handler, bool loopbackOnly) const
{
    QElapsedTimer timer;
    timer.start();
    ApiReply reply;
    std::optional<Fault> fault;
    if (loopbackOnly && !request.remoteAddress.isLoopback()) {
        reply = Envelope::failure(Envelope::NotFound, QStringLiteral("no such endpoint"));
        reply.httpStatus = 404;
    } else if (m_maxBodyBytes > 0 && request.body.size() > m_maxBodyBytes) {
        reply = Envelope::failure(Envelope::PayloadTooLarge,
                                  QStringLiteral("request body is larger than the %1 MiB limit")
                                      .arg(m_maxBodyBytes / (1024 * 1024)));
    } else {
        if (!loopbackOnly && m_faults)
            fault = m_faults->take(request.path);
        if (fault && fault->delayMs > 0)
            QThread::msleep(static_cast<unsigned long>(fault->delayMs));
        if (fault && fault->malformedBody) {
            reply.contentType = "text/html";
            reply.body = "<html><body>Internal Server Error</body></html>";
            reply.envelopeCode = -1;
        } else if (fault && fault->envelopeCode != 0) {
            reply = Envelope::failure(fault->envelopeCode, QStringLiteral("injected fault"));
        } else {
            try {
                reply = handler(request);
            } catch (const std::exception& e) {
                qWarning("%s %s failed: %s", methodName(request.method), qPrintable(request.encodedPath), e.what());
                reply = Envelope::failure(Envelope::InternalError, QStringLiteral("internal server error"));
            }
        }
        if (fault && fault->httpStatus != 0)
            reply.httpStatus = fault->httpStatus;
    }
    qInfo("%s %s -> HTTP %d, code %d (%lld ms)%s", methodName(request.method), qPrintable(request.encodedPath),
          reply.httpStatus, reply.envelopeCode, static_cast<long long>(timer.elapsed()), fault ? " [injected fault]" : "");
    return reply;
}

} // namespace velnor::server
