#pragma once

#include "core/Scheduler.h"
#include "core/TaskHandle.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace velnor {

// One header field as it goes on the wire; order is kept.
using HttpHeader = QPair<QByteArray, QByteArray>;

struct HttpRequest {
    QUrl url;
    QByteArray method;
    QList<HttpHeader> headers;
    std::optional<QByteArray> body;
    // Idle time after which the transfer is given up and reported as timed out.
    Duration timeout{std::chrono::seconds(60)};
    // An answer larger than this is cut off and reported as a transport error:
    // a backend that never stops sending must not fill the memory.
    qint64 maxResponseBytes = 16 * 1024 * 1024;
};

// Why a transfer produced no HTTP answer.
enum class TransportErrorKind {
    TimedOut,     // no progress within the request's timeout
    NotPermitted, // the system refused network access
    Other,        // refused, reset, closed, unresolvable, TLS …
};

struct TransportError {
    TransportErrorKind kind = TransportErrorKind::Other;
    int code = 0; // the transport's own code, for the log
    QString description;
};

// An HTTP answer (any status) or a transport failure.
struct HttpResponse {
    std::optional<int> statusCode;
    // Absent when the answer carried no body at all.
    std::optional<QByteArray> body;
    std::optional<TransportError> error;
};

// Carries HTTP requests. Completions run on the transport's own thread (the
// GUI thread in the app); after the handle is cancelled none runs.
class HttpTransport {
public:
    using Completion = std::function<void(HttpResponse)>;

    HttpTransport() = default;
    virtual ~HttpTransport() = default;
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    virtual TaskHandlePtr start(HttpRequest request, Completion completion) = 0;
};

} // namespace velnor
