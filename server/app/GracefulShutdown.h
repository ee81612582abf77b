#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QAbstractHttpServer;

namespace velnor::server {

// Ends the server without dropping answers: stops accepting connections,
// has queued work answered 503 (`drain`), lets running requests finish and
// their answers leave, then quits the event loop. Within kMaxWaitMs in any
// case, well inside systemd's stop timeout (90 s); a second request to stop
// quits at once.
class GracefulShutdown final : public QObject {
public:
    static constexpr int kMaxWaitMs = 45000;

    GracefulShutdown(QAbstractHttpServer& http, std::function<void()> drain, std::function<bool()> idle);

    void begin();

private:
    void poll();
    bool answersSent() const;

    QAbstractHttpServer& m_http;
    std::function<void()> m_drain;
    std::function<bool()> m_idle;
    QTimer m_poll;
    QDeadlineTimer m_deadline;
    bool m_started = false;
    int m_quietPolls = 0;
};

} // namespace velnor::server
