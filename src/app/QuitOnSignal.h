#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace velnor {

// Ends the app through the event loop on SIGTERM, SIGINT or SIGHUP (session
// logout, Ctrl+C), so the logs are flushed and the clipboard is handed back.
class QuitOnSignal final : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace velnor
