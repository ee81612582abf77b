#pragma once

#include "http/ApiRequest.h"

namespace velnor::server {

class AccountStore;
class ApiRouter;
class Authenticator;
class Clock;
class SmsCodeIssuer;
class TokenSigner;

// "/auth/sms/code", "/auth/login/sms" and "/auth/mev2".
class AuthRoutes final {
public:
    AuthRoutes(ApiRouter& router, SmsCodeIssuer& codes, AccountStore& accounts, const TokenSigner& signer,
               const Authenticator& authenticator, const Clock& clock);

private:
    ApiReply sendCode(const ApiRequest& request);
    ApiReply login(const ApiRequest& request);
    ApiReply me(const ApiRequest& request);

    SmsCodeIssuer& m_codes;
    AccountStore& m_accounts;
    const TokenSigner& m_signer;
    const Authenticator& m_authenticator;
    const Clock& m_clock;
};

} // namespace velnor::server
