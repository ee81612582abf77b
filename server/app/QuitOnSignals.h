#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace velnor::server {

// Ends the event loop on SIGTERM or SIGINT, so running requests finish and the
// database closes cleanly. The signal handler only writes a byte to a pipe;
// the quitting happens on the event loop.
class QuitOnSignals final : public QObject {
public:
    QuitOnSignals();
    ~QuitOnSignals() override;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velnor::server
