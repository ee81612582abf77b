#include "app/GracefulShutdown.h"

#include <QAbstractHttpServer>
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace velnor::server {

namespace {
constexpr int kPollMs = 20;
} // namespace

GracefulShutdown::GracefulShutdown(QAbstractHttpServer& http, std::function<void()> drain, std::function<bool()> idle)
    : m_http(http)
    , m_drain(std::move(drain))
    , m_idle(std::move(idle))
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &GracefulShutdown::poll);
}

void GracefulShutdown::begin()
{
    if (m_started) {
        qInfo("stopping now");
        QCoreApplication::quit();
        return;
    }
    m_started = true;
    qInfo("stopping: finishing the requests in progress");
    for (QTcpServer* listener : m_http.servers())
        listener->close();
    m_drain();
    m_deadline.setRemainingTime(kMaxWaitMs);
    m_poll.start();
}

void GracefulShutdown::poll()
{
    // Answers are handed to the event loop before a worker counts as done: a
    // poll after the one that saw no work left finds them written, and then
    // they only have to leave the sockets.
    m_quietPolls = m_idle() ? m_quietPolls + 1 : 0;
    if ((m_quietPolls >= 2 && answersSent()) || m_deadline.hasExpired()) {
        if (m_deadline.hasExpired())
            qWarning("stopping: requests still running after %d s are dropped", kMaxWaitMs / 1000);
        m_poll.stop();
        QCoreApplication::quit();
    }
}

bool GracefulShutdown::answersSent() const
{
    const QList<QTcpSocket*> sockets = m_http.findChildren<QTcpSocket*>();
    return std::all_of(sockets.cbegin(), sockets.cend(), [](const QTcpSocket* socket) {
        return socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() == 0;
    });
}

} // namespace velnor::server
