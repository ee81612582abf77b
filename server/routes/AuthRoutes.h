#pragma once

#include "accounts/PeerRateLimiter.h"
#include "http/ApiRequest.h"

namespace velnor::server {

class AccountStore;
class ApiRouter;
class Authenticator;
class Clock;
class SmsCodeIssuer;
class SmsSender;
class TokenSigner;

// How login codes reach the user.
struct CodeDelivery {
    SmsSender& sender;
    // Also answer the code to loopback callers ("--dev-sms": one user on their own machine).
    bool answerToLoopback = false;
};

// "/auth/sms/code", "/auth/login/sms" and "/auth/mev2". Code requests and
// login attempts are limited per peer address, on top of the per-phone rules.
class AuthRoutes final {
public:
    static constexpr int kCodeRequestsPerPeer = 10;
    static constexpr int kLoginAttemptsPerPeer = 30;
    static constexpr qint64 kPeerWindowMs = 60LL * 60 * 1000;

    AuthRoutes(ApiRouter& router, SmsCodeIssuer& codes, AccountStore& accounts, const TokenSigner& signer,
               const Authenticator& authenticator, const Clock& clock, CodeDelivery delivery);

    // Whether an answer to `peer` may carry the code under "--dev-sms".
    static bool mayAnswerCodeTo(const QHostAddress& peer);

private:
    ApiReply sendCode(const ApiRequest& request);
    ApiReply deliver(const ApiRequest& request, const QString& phone, const QString& code);
    ApiReply login(const ApiRequest& request);
    ApiReply me(const ApiRequest& request);

    SmsCodeIssuer& m_codes;
    AccountStore& m_accounts;
    const TokenSigner& m_signer;
    const Authenticator& m_authenticator;
    const Clock& m_clock;
    CodeDelivery m_delivery;
    PeerRateLimiter m_codeRequests;
    PeerRateLimiter m_loginAttempts;
};

} // namespace velnor::server
