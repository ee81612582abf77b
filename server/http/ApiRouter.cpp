#include "http/ApiRouter.h"

#include "http/Envelope.h"
#include "http/FaultInjector.h"

#include <QElapsedTimer>
#include <QHttpServer>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QHttpServerRouterRule>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtConcurrent>

namespace velnor::server {

namespace {

constexpr int kWorkerThreads = 16;

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

// Matches any request whose path has a "drop the connection" fault armed, so
// that fault can close the socket before any normal route answers.
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
        return m_faults->dropsNext(request.url().path());
    }

private:
    FaultInjector* m_faults;
};

QHttpServerResponse toResponse(const ApiReply& reply)
{
    return QHttpServerResponse(reply.contentType, reply.body,
                               static_cast<QHttpServerResponder::StatusCode>(reply.httpStatus));
}

} // namespace

ApiRouter::ApiRouter(QHttpServer& http, qint64 maxBodyBytes, FaultInjector* faults)
    : m_http(http)
    , m_maxBodyBytes(maxBodyBytes)
    , m_faults(faults)
{
    m_pool.setMaxThreadCount(kWorkerThreads);
    m_pool.setExpiryTimeout(-1);   // threads keep their database connections

    if (m_faults) {
        FaultInjector* injector = m_faults;
        m_http.route<DropConnectionRule>(
            QStringLiteral("/"), injector,
            [injector](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                const std::optional<Fault> fault = injector->take(request.url().path());
                QTcpSocket* socket = responder.socket();
                qInfo("%s %s -> connection dropped (injected fault)", methodName(request.method()),
                      qPrintable(request.url().path()));
                if (!fault || fault->delayMs <= 0) {
                    socket->abort();
                    return;
                }
                // Only the socket is kept (guarded by the timer's context), never the responder.
                QTimer::singleShot(fault->delayMs, socket, [socket] { socket->abort(); });
            });
    }

    m_http.setMissingHandler([](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        qInfo("%s %s -> no such endpoint", methodName(request.method()), qPrintable(request.url().path()));
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
    route(method, path, std::move(handler), false);
}

void ApiRouter::addLoopbackOnly(QHttpServerRequest::Method method, const QString& path, Handler handler)
{
    route(method, path, std::move(handler), true);
}

void ApiRouter::route(QHttpServerRequest::Method method, const QString& path, Handler handler, bool loopbackOnly)
{
    m_http.route(path, method, [this, handler = std::move(handler), loopbackOnly](const QHttpServerRequest& request) {
        ApiRequest copy = ApiRequest::from(request);
        return QtConcurrent::run(&m_pool, [this, copy = std::move(copy), handler, loopbackOnly] {
            return toResponse(run(copy, handler, loopbackOnly));
        });
    });
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
                qWarning("%s %s failed: %s", methodName(request.method), qPrintable(request.path), e.what());
                reply = Envelope::failure(Envelope::InternalError, QStringLiteral("internal server error"));
            }
        }
        if (fault && fault->httpStatus != 0)
            reply.httpStatus = fault->httpStatus;
    }
    qInfo("%s %s -> HTTP %d, code %d (%lld ms)%s", methodName(request.method), qPrintable(request.path),
          reply.httpStatus, reply.envelopeCode, static_cast<long long>(timer.elapsed()), fault ? " [injected fault]" : "");
    return reply;
}

} // namespace velnor::server
