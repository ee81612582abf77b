#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace velnor {

// One app per user session. The first instance listens on a local socket;
// a later launch finds it there, asks it to show its main window and exits.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Role { Primary, Secondary };

    // `serverName` is a socket path or a plain name (placed in the temp dir).
    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Primary: this process now owns the socket (a stale one from a crashed
    // run is replaced). Secondary: a running instance got the request to show
    // its window. Blocks for at most a second, before the event loop runs.
    Role claim();

    // $XDG_RUNTIME_DIR/velnor-instance, else a per-user name in the temp dir.
    static QString defaultServerName();

signals:
    // A later launch asked for the main window.
    void activationRequested();

private:
    bool askRunningInstanceToShow();
    bool listen();
    void acceptConnection();

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};

} // namespace velnor
