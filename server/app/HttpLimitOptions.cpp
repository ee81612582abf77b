#include "app/HttpLimitOptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace velnor::server {

namespace {

const QString kAllowedHost = QStringLiteral("allowed-host");
const QString kHeaderTimeout = QStringLiteral("header-timeout");
const QString kBodyTimeout = QStringLiteral("body-timeout");
const QString kIdleTimeout = QStringLiteral("idle-timeout");
const QString kMaxConnections = QStringLiteral("max-connections");
const QString kMaxPerPeer = QStringLiteral("max-connections-per-peer");

qint64 seconds(HttpLimits::Duration duration)
{
    return std::chrono::duration_cast<std::chrono::seconds>(duration).count();
}

bool readTimeout(const QCommandLineParser& parser, const QString& name, HttpLimits::Duration& value, QString* error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double secondsValue = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(secondsValue) || secondsValue < 0.05 || secondsValue > 3600) {
        *error = QStringLiteral("--%1: expected 0.05 to 3600 seconds, got %2").arg(name, parser.value(name));
        return false;
    }
    value = HttpLimits::Duration(static_cast<qint64>(secondsValue * 1000));
    return true;
}

bool readCount(const QCommandLineParser& parser, const QString& name, int& value, QString* error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int count = parser.value(name).toInt(&ok);
    if (!ok || count < 1 || count > 100000) {
        *error = QStringLiteral("--%1: expected 1 to 100000, got %2").arg(name, parser.value(name));
        return false;
    }
    value = count;
    return true;
}

} // namespace

void addHttpLimitOptions(QCommandLineParser& parser)
{
    const HttpLimits defaults;
    parser.addOptions({
        {kAllowedHost, QStringLiteral("Host name (without port) answered besides localhost, 127.0.0.1 and [::1]; "
                                      "repeatable. On a loopback --host other Host headers get HTTP 421 (this keeps "
                                      "web pages from reaching the server by DNS rebinding); once given, the check "
                                      "applies on any --host."),
         QStringLiteral("NAME")},
        {kHeaderTimeout, QStringLiteral("Seconds a request's line and headers may take to arrive (default %1).")
                             .arg(seconds(defaults.headerTimeout)),
         QStringLiteral("S")},
        {kBodyTimeout, QStringLiteral("Seconds a request body may take to arrive (default %1).")
                           .arg(seconds(defaults.bodyTimeout)),
         QStringLiteral("S")},
        {kIdleTimeout, QStringLiteral("Seconds an idle kept-alive connection stays open (default %1).")
                           .arg(seconds(defaults.idleTimeout)),
         QStringLiteral("S")},
        {kMaxConnections, QStringLiteral("Most open connections in all (default %1); more are refused.")
                              .arg(defaults.maxConnections),
         QStringLiteral("N")},
        {kMaxPerPeer, QStringLiteral("Most open connections from one address (default %1); more are refused "
                                     "with HTTP 429. Behind a reverse proxy every client has the proxy's address.")
                          .arg(defaults.maxConnectionsPerPeer),
         QStringLiteral("N")},
    });
}

std::optional<HttpLimits> httpLimitsFromParser(const QCommandLineParser& parser, const QHostAddress& host,
                                               qint64 maxBodyBytes, QString* error)
{
    HttpLimits limits;
    limits.maxBodyBytes = maxBodyBytes;
    if (!readTimeout(parser, kHeaderTimeout, limits.headerTimeout, error)
        || !readTimeout(parser, kBodyTimeout, limits.bodyTimeout, error)
        || !readTimeout(parser, kIdleTimeout, limits.idleTimeout, error)
        || !readCount(parser, kMaxConnections, limits.maxConnections, error)
        || !readCount(parser, kMaxPerPeer, limits.maxConnectionsPerPeer, error))
        return std::nullopt;

    const QStringList extraHosts = parser.values(kAllowedHost);
    if (host.isLoopback() || !extraHosts.isEmpty()) {
        QSet<QString> names{QStringLiteral("localhost"), QStringLiteral("127.0.0.1"), QStringLiteral("[::1]")};
        for (const QString& name : extraHosts) {
            if (name.trimmed().isEmpty() || name.contains(QLatin1Char(':')) != name.startsWith(QLatin1Char('['))) {
                *error = QStringLiteral("--allowed-host: expected a host name without port, got \"%1\"").arg(name);
                return std::nullopt;
            }
            names.insert(name.trimmed().toLower());
        }
        limits.allowedHosts = names;
    }
    return limits;
}

} // namespace velnor::server
