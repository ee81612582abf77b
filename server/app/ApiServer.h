#pragma once

#include "app/ServerOptions.h"
#include "recognition/Recognizer.h"

#include <memory>

class QHttpServer;

namespace velnor::server {

class AccountStore;
class ApiRouter;
class AppRoutes;
class AuthRoutes;
class Authenticator;
class Clock;
class Database;
class DictationRoutes;
class FaultInjector;
class HotWordRoutes;
class HotWordStore;
class PeriodicPruning;
class RecognitionRecords;
class RecognitionScript;
class SmsCodeIssuer;
class SmsSender;
class TestControlRoutes;
class TokenSigner;
class WorkPool;

// The HTTP API: opens the data directory and puts every endpoint on `http`.
class ApiServer final {
public:
    // None (with *error) when the database cannot be opened.
    static std::unique_ptr<ApiServer> create(const ServerOptions& options, QHttpServer& http,
                                             FileRecognizer& recognizer, QString* error);
    ~ApiServer();
    ApiServer(const ApiServer&) = delete;
    ApiServer& operator=(const ApiServer&) = delete;

    // Shutting down: requests still queued, and any new ones, are answered 503; running ones finish.
    void drain();
    // No request is running or waiting (their answers are on their way to the event loop).
    bool idle() const;

private:
    ApiServer();

    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<Database> m_database;
    std::unique_ptr<AccountStore> m_accounts;
    std::unique_ptr<SmsCodeIssuer> m_codes;
    std::unique_ptr<SmsSender> m_sms;
    std::unique_ptr<TokenSigner> m_signer;
    std::unique_ptr<Authenticator> m_authenticator;
    std::unique_ptr<HotWordStore> m_hotWords;
    std::unique_ptr<RecognitionRecords> m_records;
    std::unique_ptr<WorkPool> m_recognitionWork;
    std::unique_ptr<PeriodicPruning> m_pruning;
    std::unique_ptr<RecognitionScript> m_script;
    std::unique_ptr<FaultInjector> m_faults;
    std::unique_ptr<ApiRouter> m_router;
    std::unique_ptr<AuthRoutes> m_authRoutes;
    std::unique_ptr<HotWordRoutes> m_hotWordRoutes;
    std::unique_ptr<DictationRoutes> m_dictationRoutes;
    std::unique_ptr<AppRoutes> m_appRoutes;
    std::unique_ptr<TestControlRoutes> m_testRoutes;
};

} // namespace velnor::server
