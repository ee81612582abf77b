#pragma once

#include "app/ServerOptions.h"
#include "http/ApiRequest.h"

#include <QHash>

namespace velnor::server {

class ApiRouter;

// "/app/check": whether a newer release than "current_version" exists for "platform".
class AppRoutes final {
public:
    AppRoutes(ApiRouter& router, QHash<QString, LatestRelease> latest);

private:
    ApiReply check(const ApiRequest& request) const;

    QHash<QString, LatestRelease> m_latest;
};

} // namespace velnor::server
