#pragma once

#include "backend/APIClient.h"
#include "backend/AccountNotifications.h"
#include "backend/AccountSession.h"
#include "backend/AdjustTextService.h"
#include "backend/AuthService.h"
#include "backend/HotWordCacheSource.h"
#include "backend/HotWordManager.h"
#include "backend/LoginViewModel.h"
#include "backend/QASRService.h"
#include "backend/QtHttpTransport.h"
#include "backend/UpdateChecker.h"
#include "backend/UserManager.h"

#include <QNetworkAccessManager>

#include <memory>

namespace velnor {

// What the backend client needs from the rest of the app.
struct BackendDependencies {
    SettingsStore& settings;
    Scheduler& mainQueue;
    Logger& log;
    SecretRedactor& redactor;
    ConsoleSink print;
    QUrl baseUrl;           // DeploymentConfig::backendBaseUrl
    QString appVersion;     // sent by the update check
    QString osType;         // currentOsType() in the app
    Duration timeout = APIClient::kDefaultTimeout;
};

// The backend client's shared instances, created together on the GUI thread
// for the composition root (which keeps this object for the process). The
// hot word manager starts its first fetch here.
class BackendServices final {
public:
    explicit BackendServices(BackendDependencies dependencies);
    ~BackendServices();

    APIClient& client() { return m_client; }
    TextAdjustmentService& textAdjustment() { return m_adjust; }
    FileRecognitionService& fileRecognition() { return m_qasr; }
    HotwordService& hotwordService() { return m_hotwords; }
    HotWordManager& hotWordManager() { return m_hotWordManager; }
    // The cache as the real-time recogniser's signing step reads it.
    const HotWordSource& hotWordSource() const { return m_hotWordSource; }
    AuthService& auth() { return m_auth; }
    UserManager& users() { return m_users; }
    AccountNotifications& notifications() { return m_notifications; }
    AccountSession& session() { return m_session; }
    UpdateChecker& updateChecker() { return m_updateChecker; }

    // One per login screen.
    std::unique_ptr<LoginViewModel> makeLoginViewModel(QObject* parent = nullptr);

private:
    BackendDependencies m_with;
    std::unique_ptr<QNetworkAccessManager> m_network = std::make_unique<QNetworkAccessManager>();
    QtHttpTransport m_transport{*m_network};
    APIClient m_client;
    AdjustTextService m_adjust;
    QASRService m_qasr;
    HotwordService m_hotwords;
    AuthService m_auth;
    AccountNotifications m_notifications;
    UserManager m_users;
    AccountSession m_session;
    UpdateChecker m_updateChecker;
    HotWordManager m_hotWordManager; // after the services: its start-up fetch uses them
    HotWordCacheSource m_hotWordSource{m_hotWordManager};
};

} // namespace velnor
