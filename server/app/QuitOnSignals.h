#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velnor::server {

// Calls `onSignal` on the event loop at each SIGTERM or SIGINT (the shutdown
// then runs as ordinary event-loop work). The signal handler only writes a
// byte to a pipe.
class QuitOnSignals final : public QObject {
public:
    explicit QuitOnSignals(std::function<void()> onSignal);
    ~QuitOnSignals() override;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velnor::server
