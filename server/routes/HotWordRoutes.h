#pragma once

#include "http/ApiRequest.h"

namespace velnor::server {

class ApiRouter;
class Authenticator;
class HotWordStore;

// "/qasr/hotwordlist" and "/qasr/hotword" (POST adds, DELETE removes); signed-in users only.
class HotWordRoutes final {
public:
    HotWordRoutes(ApiRouter& router, HotWordStore& store, const Authenticator& authenticator);

private:
    ApiReply list(const ApiRequest& request);
    ApiReply add(const ApiRequest& request);
    ApiReply remove(const ApiRequest& request);

    HotWordStore& m_store;
    const Authenticator& m_authenticator;
};

} // namespace velnor::server
