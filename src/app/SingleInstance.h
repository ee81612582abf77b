#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;

namespace velnor {

// One app per user session. The running instance holds a lock file and
// listens on a local socket beside it, both in a directory only the user can
// write; a later launch asks it to show its main window and exits. A launch
// that finds the lock held but nobody listening (the instance is handing
// over to its own relaunch, or still starting) waits for the lock instead.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,   // this process runs the app
        Secondary, // the running instance was asked to show itself
        Stuck,     // another instance holds the lock and neither answers nor exits
    };

    // `directory` holds the lock file and the socket.
    explicit SingleInstance(QString directory, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Blocks before the event loop runs: up to a second for a running
    // instance to answer, up to kHandOverWaitMs for one that stopped
    // listening to exit.
    Role claim();

    // For a relaunch: stop answering later launches (the lock stays held
    // until this process exits), so the new copy waits for this one to go.
    void stopListening();
    // The relaunch failed: answer later launches again.
    bool resumeListening();

    // $XDG_RUNTIME_DIR (or Qt's per-user runtime directory) when it belongs
    // to this user and nobody else may write to it; none otherwise: a name
    // in /tmp could be made beforehand by another user.
    static std::optional<QString> defaultDirectory();
    // Whether `directory` is this user's own and closed to others.
    static bool isPrivateDirectory(const QString& directory);

    static constexpr int kHandOverWaitMs = 10000;

signals:
    // A later launch asked for the main window.
    void activationRequested();

private:
    bool askRunningInstanceToShow();
    bool listen();
    void acceptConnection();

    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace velnor
