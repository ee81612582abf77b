// velnor-server: the HTTP API of the app's backend and the real-time
// recognition endpoint, on one port.
#include "app/ApiServer.h"
#include "app/GracefulShutdown.h"
#include "app/QuitOnSignals.h"
#include "app/ServerOptions.h"
#include "http/LogSafety.h"
#include "http/LowLatencyTcpServer.h"
#include "http/TlsTcpServer.h"
#include "recognition/RecognizerChoice.h"

#if VELNOR_SERVER_REALTIME
#include "realtime/RealtimeEndpoint.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHttpServer>

#include <cstdio>

using namespace velnor::server;

namespace {

int failStart(const QString& message)
{
    std::fprintf(stderr, "velnor-server: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velnor-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{type}: %{message}"));
    installEscapingMessageHandler();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Velnor backend: the HTTP API and real-time recognition, on one port. Data lives in velnor.db "
        "(SQLite) in the data directory.\n"
        "Endpoints: POST /auth/sms/code, POST /auth/login/sms, GET /auth/mev2, GET /qasr/hotwordlist, "
        "POST and DELETE /qasr/hotword, POST /qasr/adjust, POST /qasr/recognize (multipart upload), "
        "POST /qasr/recognize/update, GET /app/check. Answers are HTTP 200 with {\"code\",\"msg\",\"data\"}; "
        "code 0 is success, 401 a missing, forged or expired token where an account is needed (the dictation "
        "endpoints take such a token as signed out; the hot word list is then empty). SMS login codes are written to "
        "this log (\"SMS code for 139****5678: <code>\") instead of being sent, for development; a real deployment "
        "names its SMS gateway with --sms-command. The data directory is created 0700 and velnor.db 0600."));
    parser.addHelpOption();
    parser.addVersionOption();
    ServerOptions::addOptions(parser);
    ServerOptions::addAccountOptions(parser);
    RecognizerChoice::addOptions(parser);
#if VELNOR_SERVER_REALTIME
    RealtimeEndpoint::addOptions(parser);
#endif
    parser.process(app);

    QString error;
    const std::optional<ServerOptions> options = ServerOptions::fromParser(parser, &error);
    if (!options)
        return failStart(error);

    // Built first, so it outlives every request and stream that uses it.
    const std::unique_ptr<RecognizerChoice> recognizers = RecognizerChoice::create(parser, *options, &error);
    if (!recognizers)
        return failStart(error);

    QHttpServer http;
    const std::unique_ptr<ApiServer> api = ApiServer::create(*options, http, recognizers->file(), &error);
    if (!api)
        return failStart(error);

#if VELNOR_SERVER_REALTIME
    const std::unique_ptr<RealtimeEndpoint> realtime =
        RealtimeEndpoint::create(parser, http, &recognizers->stream(), options->testControls, &error);
    if (!realtime)
        return failStart(error);
    if (realtime->acceptsStreams())
        recognizers->warmUpStreams();
#endif

    std::optional<QSslConfiguration> tls;
    if (options->useTls() && !(tls = loadTlsConfiguration(options->tlsCertificate, options->tlsKey, &error)))
        return failStart(error);
    const quint16 port = tls ? listenWithTls(http, options->host, options->port, *tls, options->httpLimits)
                             : listenWithLowLatency(http, options->host, options->port, options->httpLimits);
    if (port == 0)
        return failStart(QStringLiteral("cannot listen on %1:%2").arg(options->host.toString()).arg(options->port));

#if VELNOR_SERVER_REALTIME
    const auto drain = [&api, &realtime] {
        api->drain();
        realtime->drain();
    };
    const auto idle = [&api, &realtime] { return api->idle() && realtime->idle(); };
#else
    const auto drain = [&api] { api->drain(); };
    const auto idle = [&api] { return api->idle(); };
#endif
    GracefulShutdown shutdown(http, drain, idle);
    const QuitOnSignals quitOnSignals([&shutdown] { shutdown.begin(); });

    const QString host = options->host.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(options->host.toString())
        : options->host.toString();
    std::printf("velnor-server listening on %s://%s:%u\n", options->useTls() ? "https" : "http", qPrintable(host),
                static_cast<unsigned>(port));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
