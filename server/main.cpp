// velnor-server: the HTTP API of the app's backend and the real-time
// recognition endpoint, on one port.
#include "app/ServerOptions.h"
#include "recognition/PocketsphinxRecognizer.h"

#if VELNOR_SERVER_REALTIME
#include "realtime/RealtimeEndpoint.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHttpServer>
#include <QTcpServer>

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

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Velnor backend: HTTP API and real-time recognition."));
    parser.addHelpOption();
    parser.addVersionOption();
    ServerOptions::addOptions(parser);
#if VELNOR_SERVER_REALTIME
    RealtimeEndpoint::addOptions(parser);
#endif
    parser.process(app);

    QString error;
    const std::optional<ServerOptions> options = ServerOptions::fromParser(parser, &error);
    if (!options)
        return failStart(error);

    QHttpServer http;
    const SpeechRecognizerFactory recognizers = pocketsphinxRecognizerFactory(options->model);

#if VELNOR_SERVER_REALTIME
    const std::unique_ptr<RealtimeEndpoint> realtime =
        RealtimeEndpoint::create(parser, http, recognizers, options->testControls, &error);
    if (!realtime)
        return failStart(error);
#endif

    const quint16 port = http.listen(options->host, options->port);
    if (port == 0)
        return failStart(QStringLiteral("cannot listen on %1:%2").arg(options->host.toString()).arg(options->port));

    const QString host = options->host.protocol() == QAbstractSocket::IPv6Protocol
        ? QStringLiteral("[%1]").arg(options->host.toString())
        : options->host.toString();
    std::printf("velnor-server listening on %s://%s:%u\n", options->useTls() ? "https" : "http", qPrintable(host),
                static_cast<unsigned>(port));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
