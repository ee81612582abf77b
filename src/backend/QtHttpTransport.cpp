#include "backend/QtHttpTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace velnor {

namespace {

struct Transfer {
    std::atomic<bool> cancelled{false};
    QPointer<QNetworkReply> reply; // touched on the manager's thread only
};

class TransferHandle final : public TaskHandle {
public:
    TransferHandle(std::shared_ptr<Transfer> transfer, QObject* context)
        : m_transfer(std::move(transfer))
        , m_context(context)
    {
    }

    void cancel() override
    {
        if (m_transfer->cancelled.exchange(true))
            return;
        auto abort = [transfer = m_transfer] {
            if (transfer->reply)
                transfer->reply->abort();
        };
        if (m_context && QThread::currentThread() == m_context->thread())
            abort();
        else if (m_context)
            QMetaObject::invokeMethod(m_context, abort, Qt::QueuedConnection);
    }

private:
    std::shared_ptr<Transfer> m_transfer;
    QPointer<QObject> m_context;
};

// Errors of the connection itself (refused, closed, reset, TLS…), as opposed
// to the content errors Qt derives from an HTTP status. One of them after the
// headers means the body is incomplete.
bool isConnectionFailure(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ProxyConnectionRefusedError;
}

TransportErrorKind kindOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::TimeoutError:
        return TransportErrorKind::TimedOut;
    default:
        return TransportErrorKind::Other;
    }
}

// Qt does not always report a connection the server closed mid-body; the
// announced length tells. (A compressed body's length is not comparable.)
bool isTruncated(const QNetworkReply& reply, qsizetype received)
{
    if (reply.hasRawHeader("Content-Encoding"))
        return false;
    bool announced = false;
    const qint64 length = reply.rawHeader("Content-Length").toLongLong(&announced);
    return announced && received < length;
}

void run(QNetworkAccessManager& manager, const HttpRequest& request, const std::shared_ptr<Transfer>& transfer,
         HttpTransport::Completion completion)
{
    if (transfer->cancelled)
        return;
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    // The bearer token must not follow a redirect to another origin.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    for (const HttpHeader& header : request.headers)
        networkRequest.setRawHeader(header.first, header.second);

    QNetworkReply* reply = nullptr;
    if (request.method == "GET" && !request.body)
        reply = manager.get(networkRequest);
    else
        reply = manager.sendCustomRequest(networkRequest, request.method, request.body.value_or(QByteArray()));
    transfer->reply = reply;

    auto* idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(request.timeout);
    auto timedOut = std::make_shared<bool>(false);
    QObject::connect(idle, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::uploadProgress, idle, [idle] { idle->start(); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, idle,
                     [idle, reply, tooLarge, limit = request.maxResponseBytes](qint64 received, qint64 total) {
                         idle->start();
                         if (received > limit || total > limit) {
                             *tooLarge = true;
                             reply->abort();
                         }
                     });
    idle->start();

    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [reply, transfer, timedOut, tooLarge, completion = std::move(completion)] {
                         reply->deleteLater();
                         if (transfer->cancelled)
                             return;
                         HttpResponse response;
                         const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                         if (*timedOut) {
                             response.error = TransportError{TransportErrorKind::TimedOut,
                                                             QNetworkReply::TimeoutError,
                                                             QStringLiteral("The request timed out.")};
                         } else if (*tooLarge) {
                             response.error = TransportError{TransportErrorKind::Other,
                                                             QNetworkReply::UnknownContentError,
                                                             QStringLiteral("The answer is too large.")};
                         } else if (status.isValid() && !isConnectionFailure(reply->error())) {
                             const QByteArray body = reply->readAll();
                             if (isTruncated(*reply, body.size())) {
                                 response.error = TransportError{TransportErrorKind::Other,
                                                                 QNetworkReply::RemoteHostClosedError,
                                                                 QStringLiteral("The connection closed mid-answer.")};
                             } else {
                                 response.statusCode = status.toInt();
                                 if (!body.isEmpty())
                                     response.body = body;
                             }
                         } else {
                             const auto error = reply->error();
                             response.error = TransportError{kindOf(error), error, reply->errorString()};
                         }
                         completion(std::move(response));
                     });
}

} // namespace

QtHttpTransport::QtHttpTransport(QNetworkAccessManager& manager)
    : m_manager(manager)
{
}

TaskHandlePtr QtHttpTransport::start(HttpRequest request, Completion completion)
{
    auto transfer = std::make_shared<Transfer>();
    if (QThread::currentThread() == m_manager.thread()) {
        run(m_manager, request, transfer, std::move(completion));
    } else {
        QMetaObject::invokeMethod(
            &m_manager,
            [this, request = std::move(request), transfer, completion = std::move(completion)]() mutable {
                run(m_manager, request, transfer, std::move(completion));
            },
            Qt::QueuedConnection);
    }
    return std::make_shared<TransferHandle>(transfer, &m_manager);
}

} // namespace velnor
