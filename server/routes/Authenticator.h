#pragma once

#include "http/ApiRequest.h"

#include <optional>

namespace velnor::server {

class AccountStore;
class TokenSigner;

// Who sent a request, from its "Authorization: Bearer <token>" header.
class Authenticator final {
public:
    enum class Kind {
        Anonymous,  // no Authorization header, or one without a token
        User,       // a valid token of an existing user
        Invalid,    // a malformed, forged or expired token, or one of an unknown user
    };
    struct Caller {
        Kind kind = Kind::Anonymous;
        qint64 userId = 0;

        std::optional<qint64> user() const { return kind == Kind::User ? std::optional<qint64>(userId) : std::nullopt; }
    };

    Authenticator(const TokenSigner& signer, AccountStore& accounts);

    Caller identify(const ApiRequest& request) const;

private:
    const TokenSigner& m_signer;
    AccountStore& m_accounts;
};

} // namespace velnor::server
