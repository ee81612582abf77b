#pragma once

#include "http/HttpLimits.h"

#include <QHostAddress>

#include <optional>

class QCommandLineParser;

namespace velnor::server {

// The command-line options of the connection limits and the Host check:
// --allowed-host, --header-timeout, --body-timeout, --idle-timeout,
// --max-connections, --max-connections-per-peer.
void addHttpLimitOptions(QCommandLineParser& parser);
// None (with *error) when a value is unusable. On a loopback `host` only the
// loopback names and --allowed-host names are answered (against DNS rebinding).
std::optional<HttpLimits> httpLimitsFromParser(const QCommandLineParser& parser, const QHostAddress& host,
                                               qint64 maxBodyBytes, QString* error);

} // namespace velnor::server
