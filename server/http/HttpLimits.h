#pragma once

#include <QSet>
#include <QString>

#include <chrono>
#include <optional>

namespace velnor::server {

// What one client may hold of the server before it is cut off: body and head
// sizes, how long each phase of a request may take, and how many connections
// stay open.
struct HttpLimits {
    using Duration = std::chrono::milliseconds;

    qint64 maxBodyBytes = 20 * 1024 * 1024;
    qsizetype maxHeadBytes = 16 * 1024;    // request line and headers
    Duration headerTimeout{10'000};        // from a request's first byte to the end of its headers
    Duration bodyTimeout{120'000};         // from the end of the headers to the end of the body
    Duration idleTimeout{60'000};          // a kept-alive connection with no request
    int maxConnections = 512;
    int maxConnectionsPerPeer = 32;
    // Host header names (lower case, without port) that are answered; none: any.
    std::optional<QSet<QString>> allowedHosts;
};

} // namespace velnor::server
