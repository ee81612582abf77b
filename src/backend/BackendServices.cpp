#include "backend/BackendServices.h"

namespace velnor {

BackendServices::BackendServices(BackendDependencies dependencies)
    : m_with(std::move(dependencies))
    , m_client(m_transport, m_with.settings, m_with.mainQueue, m_with.log, m_with.redactor, m_with.baseUrl,
               m_with.timeout)
    , m_adjust(m_client, m_with.mainQueue, m_with.log)
    , m_qasr(m_client, m_with.log)
    , m_hotwords(m_client, m_with.log)
    , m_auth(m_client, m_with.log)
    , m_users(m_with.settings)
    , m_session(m_auth, m_with.settings, m_users, m_notifications, m_with.log, m_with.print)
    , m_updateChecker(m_transport, m_with.baseUrl, m_with.appVersion, m_with.osType, m_with.print, m_with.timeout)
    , m_hotWordManager(m_hotwords, m_with.print)
{
}

BackendServices::~BackendServices()
{
    // Replies still in flight go first, while every service they could
    // complete into still exists.
    m_network.reset();
}

std::unique_ptr<LoginViewModel> BackendServices::makeLoginViewModel(QObject* parent)
{
    return std::make_unique<LoginViewModel>(m_auth, m_with.settings, m_users, m_notifications, m_with.mainQueue,
                                            m_with.log, m_with.redactor, m_with.print, parent);
}

} // namespace velnor
