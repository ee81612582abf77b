#include "app/ServerOptions.h"

#include "app/HttpLimitOptions.h"

#include <QCommandLineParser>
#include <QStandardPaths>
#include <QThread>

#include <tuple>

namespace velnor::server {

namespace {

const QString kHost = QStringLiteral("host");
const QString kPort = QStringLiteral("port");
const QString kDataDir = QStringLiteral("data-dir");
const QString kTestControls = QStringLiteral("test-controls");
const QString kTlsCert = QStringLiteral("tls-cert");
const QString kTlsKey = QStringLiteral("tls-key");
const QString kGrammar = QStringLiteral("grammar");
const QString kLm = QStringLiteral("lm");
const QString kDict = QStringLiteral("dict");
const QString kHmm = QStringLiteral("hmm");
const QString kLatest = QStringLiteral("latest-version");
const QString kMaxUpload = QStringLiteral("max-upload-mb");
const QString kRecognitionThreads = QStringLiteral("recognition-threads");
const QString kRecognitionQueue = QStringLiteral("recognition-queue");
const QString kRecognitionTimeout = QStringLiteral("recognition-timeout");
const QString kRetentionDays = QStringLiteral("retention-days");
const QString kSmsCommand = QStringLiteral("sms-command");
const QString kDevSms = QStringLiteral("dev-sms");

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool parseRelease(const QString& value, QHash<QString, LatestRelease>& releases, QString* error)
{
    const qsizetype eq = value.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return fail(error, QStringLiteral("--latest-version expects PLATFORM=VERSION[,URL], got \"%1\"").arg(value));
    const QString platform = value.left(eq).trimmed().toLower();
    const QString rest = value.mid(eq + 1);
    const qsizetype comma = rest.indexOf(QLatin1Char(','));
    LatestRelease release;
    release.version = (comma < 0 ? rest : rest.left(comma)).trimmed();
    release.url = comma < 0 ? QString() : rest.mid(comma + 1).trimmed();
    if (platform != QLatin1String("linux") && platform != QLatin1String("macos"))
        return fail(error, QStringLiteral("--latest-version: platform must be linux or macos, got \"%1\"").arg(platform));
    if (release.version.isEmpty())
        return fail(error, QStringLiteral("--latest-version: empty version for %1").arg(platform));
    releases.insert(platform, release);
    return true;
}

} // namespace

void ServerOptions::addOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kHost, QStringLiteral("Address to listen on (default 127.0.0.1)."), QStringLiteral("ADDR")},
        {kPort, QStringLiteral("Port to listen on (default %1; 0 picks a free port).").arg(kDefaultPort),
         QStringLiteral("N")},
        {kDataDir, QStringLiteral("Directory of the SQLite database velnor.db (default: the user's data "
                                  "directory, $XDG_DATA_HOME/velnor-server)."),
         QStringLiteral("DIR")},
        {kTestControls, QStringLiteral(
             "Enable the loopback-only test routes (refused unless --host is a loopback address): "
             "GET /__test/sms-code?phone=P (last SMS code of P, kept in memory); "
             "POST /__test/recognizer-script {\"texts\":[...]} (the next file recognitions answer these "
             "texts, one per request, without decoding the upload); POST /__test/fault {\"path\",\"delay_ms\","
             "\"http_status\",\"malformed_body\",\"drop_connection\",\"envelope_code\",\"count\"} (the next "
             "count requests to path wait delay_ms, then have their connection closed after the response "
             "headers (so clients cannot quietly resend them), or are answered with a non-JSON body, or with "
             "an envelope of that code, and with that HTTP status; a status alone keeps the real answer); "
             "POST /__test/reset (clears scripts and faults).")},
        {kTlsCert, QStringLiteral("PEM certificate: serve https/wss instead of http/ws (needs --tls-key)."),
         QStringLiteral("FILE")},
        {kTlsKey, QStringLiteral("PEM private key for --tls-cert."), QStringLiteral("FILE")},
        {kGrammar, QStringLiteral("JSGF grammar for the recogniser instead of the language model."),
         QStringLiteral("FILE")},
        {kLm, QStringLiteral("Language model for the recogniser (default: Debian's en-us model)."),
         QStringLiteral("FILE")},
        {kDict, QStringLiteral("Pronunciation dictionary for the recogniser (default: cmudict-en-us)."),
         QStringLiteral("FILE")},
        {kHmm, QStringLiteral("Acoustic model directory for the recogniser (default: Debian's en-us)."),
         QStringLiteral("DIR")},
        {kLatest, QStringLiteral("Newest release offered by /app/check for a platform (linux or macos); "
                                 "repeatable."),
         QStringLiteral("PLATFORM=VERSION[,URL]")},
        {kMaxUpload, QStringLiteral("Largest accepted upload in MiB (default %1).")
                         .arg(kDefaultMaxUploadBytes / (1024 * 1024)),
         QStringLiteral("N")},
        {kRecognitionThreads, QStringLiteral("File recognitions decoded at once (default: one per CPU core)."),
         QStringLiteral("N")},
        {kRecognitionQueue, QStringLiteral("Uploads that may wait for a recognition thread (default %1); further "
                                           "ones are answered 503 at once.")
                                .arg(kDefaultRecognitionQueue),
         QStringLiteral("N")},
        {kRecognitionTimeout, QStringLiteral("Seconds a file recognition may take, waiting for a free recogniser "
                                             "included (default %1); a slower one is answered with an error the "
                                             "app offers to retry.")
                                  .arg(kDefaultRecognitionTimeoutSeconds),
         QStringLiteral("SECONDS")},
    });
    addHttpLimitOptions(parser);
}

namespace {

// A whole number in [low, high] from option `name`, or none (with *error).
std::optional<int> boundedInt(const QCommandLineParser& parser, const QString& name, int low, int high, QString* error)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high) {
        fail(error, QStringLiteral("--%1: expected %2 to %3, got %4").arg(name).arg(low).arg(high).arg(parser.value(name)));
        return std::nullopt;
    }
    return value;
}

} // namespace
void ServerOptions::addAccountOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {kRetentionDays, QStringLiteral("Days a stored dictation (recognised or corrected text) is kept (default %1); "
                                        "older ones are deleted at start and every hour. Text corrections "
                                        "(/qasr/adjust) of signed-out callers are never stored.")
                             .arg(kDefaultRetentionDays),
         QStringLiteral("N")},
        {kSmsCommand, QStringLiteral("Deliver login codes with this program (an SMS gateway client), run without a "
                                     "shell as PROGRAM PHONE with the code and a newline on its standard input; "
                                     "exit status 0 within 8 s means sent, anything else answers the app with an "
                                     "error. Its output is discarded. Without it, codes are only written to this "
                                     "server's log (\"SMS code for 139****5678: 1234\"), which suits development "
                                     "only: nothing reaches the phone."),
         QStringLiteral("PROGRAM")},
        {kDevSms, QStringLiteral("Also return each login code in the answer of /auth/sms/code (data.dev_code), to "
                                 "callers on this machine (loopback) only, so the app fills it in. For a "
                                 "single-user development or personal setup only: behind a reverse proxy on the "
                                 "same machine every caller is loopback. Not together with --sms-command.")},
    });
}

bool ServerOptions::readAccountOptions(const QCommandLineParser& parser, QString* error)
{
    if (parser.isSet(kRetentionDays)) {
        bool ok = false;
        retentionDays = parser.value(kRetentionDays).toInt(&ok);
        if (!ok || retentionDays < 1 || retentionDays > 3650)
            return fail(error, QStringLiteral("--retention-days: expected 1 to 3650, got %1").arg(parser.value(kRetentionDays)));
    }
    smsCommand = parser.value(kSmsCommand);
    if (parser.isSet(kSmsCommand) && smsCommand.isEmpty())
        return fail(error, QStringLiteral("--sms-command: empty program"));
    devSms = parser.isSet(kDevSms);
    if (devSms && !smsCommand.isEmpty())
        return fail(error, QStringLiteral("--dev-sms and --sms-command exclude each other: with a real SMS gateway, "
                                          "codes must not also be handed out in answers"));
    return true;
}

int ServerOptions::recognitionThreadCount() const
{
    return recognitionThreads > 0 ? recognitionThreads : std::max(1, QThread::idealThreadCount());
}

std::optional<ServerOptions> ServerOptions::fromParser(const QCommandLineParser& parser, QString* error)
{
    ServerOptions options;
    if (parser.isSet(kHost) && !options.host.setAddress(parser.value(kHost))) {
        fail(error, QStringLiteral("--host: not an IP address: %1").arg(parser.value(kHost)));
        return std::nullopt;
    }
    if (parser.isSet(kPort)) {
        bool ok = false;
        const uint port = parser.value(kPort).toUInt(&ok);
        if (!ok || port > 65535) {
            fail(error, QStringLiteral("--port: not a port number: %1").arg(parser.value(kPort)));
            return std::nullopt;
        }
        options.port = static_cast<quint16>(port);
    }
    options.dataDir = parser.isSet(kDataDir)
        ? parser.value(kDataDir)
        : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    options.testControls = parser.isSet(kTestControls);
    // The test routes answer anyone who reaches them (scripted texts for every
    // user's dictation, SMS codes): only this machine may.
    if (options.testControls && !options.host.isLoopback()) {
        fail(error, QStringLiteral("--test-controls needs a loopback --host (127.0.0.1 or ::1)"));
        return std::nullopt;
    }
    options.tlsCertificate = parser.value(kTlsCert);
    options.tlsKey = parser.value(kTlsKey);
    if (options.tlsCertificate.isEmpty() != options.tlsKey.isEmpty()) {
        fail(error, QStringLiteral("--tls-cert and --tls-key go together"));
        return std::nullopt;
    }
    if (parser.isSet(kHmm))
        options.model.acousticModel = parser.value(kHmm);
    if (parser.isSet(kLm))
        options.model.languageModel = parser.value(kLm);
    if (parser.isSet(kDict))
        options.model.dictionary = parser.value(kDict);
    if (parser.isSet(kGrammar))
        options.model.grammar = parser.value(kGrammar);
    for (const QString& value : parser.values(kLatest)) {
        if (!parseRelease(value, options.latestReleases, error))
            return std::nullopt;
    }
    if (parser.isSet(kMaxUpload)) {
        bool ok = false;
        const qint64 mib = parser.value(kMaxUpload).toLongLong(&ok);
        if (!ok || mib < 1 || mib > 1024) {
            fail(error, QStringLiteral("--max-upload-mb: expected 1 to 1024, got %1").arg(parser.value(kMaxUpload)));
            return std::nullopt;
        }
        options.maxUploadBytes = mib * 1024 * 1024;
    }
    for (const auto& [name, target, low] : {std::tuple{kRecognitionThreads, &options.recognitionThreads, 1},
                                           std::tuple{kRecognitionQueue, &options.recognitionQueue, 0},
                                           std::tuple{kRecognitionTimeout, &options.recognitionTimeoutSeconds, 1}}) {
        if (!parser.isSet(name))
            continue;
        const std::optional<int> value = boundedInt(parser, name, low, 1024, error);
        if (!value)
            return std::nullopt;
        *target = *value;
    }
    const std::optional<HttpLimits> limits = httpLimitsFromParser(parser, options.host, options.maxUploadBytes, error);
    if (!limits)
        return std::nullopt;
    options.httpLimits = *limits;
    if (!options.readAccountOptions(parser, error))
        return std::nullopt;
    return options;
}

} // namespace velnor::server
