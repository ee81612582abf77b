#include "routes/Authenticator.h"

#include "accounts/AccountStore.h"
#include "accounts/TokenSigner.h"

namespace velnor::server {

Authenticator::Authenticator(const TokenSigner& signer, AccountStore& accounts)
    : m_signer(signer)
    , m_accounts(accounts)
{
}

Authenticator::Caller Authenticator::identify(const ApiRequest& request) const
{
    if (!request.hasHeader("Authorization"))
        return {Kind::Anonymous, 0};
    const QByteArray value = request.header("Authorization").trimmed();
    if (value.compare("Bearer", Qt::CaseInsensitive) == 0)
        return {Kind::Anonymous, 0};   // "Bearer " with no token: a client holding an empty session
    if (!value.startsWith("Bearer ") && !value.startsWith("bearer "))
        return {Kind::Invalid, 0};
    const std::optional<qint64> userId = m_signer.verify(QString::fromLatin1(value.mid(7).trimmed()));
    if (!userId || !m_accounts.user(*userId))
        return {Kind::Invalid, 0};
    return {Kind::User, *userId};
}

} // namespace velnor::server
