#include "app/ApiServer.h"

#include "accounts/AccountStore.h"
#include "accounts/SmsCodeIssuer.h"
#include "accounts/SmsSender.h"
#include "accounts/TokenSigner.h"
#include "core/Clock.h"
#include "core/WorkPool.h"
#include "hotwords/HotWordStore.h"
#include "http/ApiRouter.h"
#include "http/FaultInjector.h"
#include "recognition/RecognitionScript.h"
#include "records/RecognitionRecords.h"
#include "routes/AppRoutes.h"
#include "routes/AuthRoutes.h"
#include "routes/Authenticator.h"
#include "routes/DictationRoutes.h"
#include "routes/HotWordRoutes.h"
#include "routes/TestControlRoutes.h"
#include "storage/Database.h"
#include "storage/PeriodicPruning.h"

#include <QRandomGenerator>

namespace velnor::server {

namespace {

QByteArray newSecret()
{
    QByteArray secret(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()), secret.size() / 4);
    return secret;
}

} // namespace

ApiServer::ApiServer() = default;

ApiServer::~ApiServer()
{
    // Handlers still running use everything below; let them finish first.
    if (m_recognitionWork)
        m_recognitionWork->waitForDone();
    if (m_router)
        m_router->shutdown();
}

void ApiServer::drain()
{
    m_recognitionWork->drain();
    m_router->drain();
}

bool ApiServer::idle() const
{
    return m_recognitionWork->idle() && m_router->idle();
}

std::unique_ptr<ApiServer> ApiServer::create(const ServerOptions& options, QHttpServer& http,
                                             FileRecognizer& recognizer, QString* error)
{
    std::unique_ptr<ApiServer> server(new ApiServer());
    server->m_clock = std::make_unique<SystemClock>();
    server->m_database = Database::open(options.dataDir, error);
    if (!server->m_database)
        return nullptr;
    // The token key lives with the data, so sessions survive a restart.
    const QByteArray secret = server->m_database->metaValue(QStringLiteral("token_secret"), newSecret);
    if (secret.size() < 32) {
        if (error)
            *error = QStringLiteral("cannot store the token key in %1").arg(server->m_database->filePath());
        return nullptr;
    }
    // Login codes are stored only as hashes keyed by this.
    const QByteArray codeKey = server->m_database->metaValue(QStringLiteral("login_code_key"), newSecret);
    if (codeKey.size() < 32) {
        if (error)
            *error = QStringLiteral("cannot store the login code key in %1").arg(server->m_database->filePath());
        return nullptr;
    }
    const Clock& clock = *server->m_clock;
    server->m_accounts = std::make_unique<AccountStore>(*server->m_database, clock);
    server->m_codes = std::make_unique<SmsCodeIssuer>(*server->m_database, clock, codeKey);
    if (options.testControls)
        server->m_codes->keepLastCodes();
    if (options.smsCommand.isEmpty())
        server->m_sms = std::make_unique<LogSmsSender>();
    else
        server->m_sms = std::make_unique<CommandSmsSender>(options.smsCommand);
    server->m_signer = std::make_unique<TokenSigner>(secret, clock);
    server->m_authenticator = std::make_unique<Authenticator>(*server->m_signer, *server->m_accounts);
    server->m_hotWords = std::make_unique<HotWordStore>(*server->m_database);
    server->m_records = std::make_unique<RecognitionRecords>(*server->m_database, clock);
    server->m_recognitionWork = std::make_unique<WorkPool>(options.recognitionThreadCount(), options.recognitionQueue);
    const qint64 retentionMs = qint64(options.retentionDays) * 24 * 3600 * 1000;
    RecognitionRecords& records = *server->m_records;
    SmsCodeIssuer& codes = *server->m_codes;
    server->m_pruning = std::make_unique<PeriodicPruning>(
        std::vector<PeriodicPruning::Job>{[&records, retentionMs] {
                                              const std::optional<int> pruned = records.prune(retentionMs);
                                              if (!pruned)
                                                  qWarning("cannot prune old records");
                                              else if (*pruned > 0)
                                                  qInfo("pruned %d records past the retention time", *pruned);
                                          },
                                          [&codes] { codes.prune(); }},
        std::chrono::hours(1));
    server->m_script = std::make_unique<RecognitionScript>();
    server->m_faults = std::make_unique<FaultInjector>();

    server->m_router = std::make_unique<ApiRouter>(http, options.maxUploadBytes,
                                                   options.testControls ? server->m_faults.get() : nullptr);
    ApiRouter& router = *server->m_router;
    server->m_authRoutes = std::make_unique<AuthRoutes>(router, *server->m_codes, *server->m_accounts,
                                                        *server->m_signer, *server->m_authenticator, clock,
                                                        CodeDelivery{*server->m_sms, options.devSms});
    server->m_hotWordRoutes = std::make_unique<HotWordRoutes>(router, *server->m_hotWords, *server->m_authenticator);
    server->m_dictationRoutes = std::make_unique<DictationRoutes>(
        router, *server->m_recognitionWork, recognizer, std::chrono::seconds(options.recognitionTimeoutSeconds),
        *server->m_script, *server->m_records, *server->m_hotWords, *server->m_authenticator);
    server->m_appRoutes = std::make_unique<AppRoutes>(router, options.latestReleases);
    if (options.testControls)
        server->m_testRoutes =
            std::make_unique<TestControlRoutes>(router, *server->m_codes, *server->m_script, *server->m_faults);
    return server;
}

} // namespace velnor::server
