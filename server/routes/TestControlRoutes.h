#pragma once

#include "http/ApiRequest.h"

namespace velnor::server {

class ApiRouter;
class FaultInjector;
class RecognitionScript;
class SmsCodeIssuer;

// The "/__test/..." routes (only with --test-controls, only from loopback):
// read the last SMS code, script the recogniser, inject faults, reset.
class TestControlRoutes final {
public:
    TestControlRoutes(ApiRouter& router, SmsCodeIssuer& codes, RecognitionScript& script, FaultInjector& faults);

private:
    ApiReply smsCode(const ApiRequest& request);
    ApiReply recognizerScript(const ApiRequest& request);
    ApiReply fault(const ApiRequest& request);
    ApiReply reset(const ApiRequest& request);

    SmsCodeIssuer& m_codes;
    RecognitionScript& m_script;
    FaultInjector& m_faults;
};

} // namespace velnor::server
