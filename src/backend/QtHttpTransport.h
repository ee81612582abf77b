#pragma once

#include "backend/HttpTransport.h"

class QNetworkAccessManager;

namespace velnor {

// HttpTransport on QNetworkAccessManager. Any HTTP status counts as an
// answer; only a transfer without an answer is an error. The timeout is an
// idle timeout: it restarts whenever bytes move, as a stalled upload or a
// silent server is what it guards against. start() may be called from any
// thread; the work and the completion run on the manager's thread.
class QtHttpTransport final : public HttpTransport {
public:
    explicit QtHttpTransport(QNetworkAccessManager& manager);

    TaskHandlePtr start(HttpRequest request, Completion completion) override;

private:
    QNetworkAccessManager& m_manager;
};

} // namespace velnor
