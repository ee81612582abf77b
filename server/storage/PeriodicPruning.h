#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

namespace velnor::server {

// Keeps the database from growing without bound: runs each pruning job once
// at once and then every `interval`, on the thread that owns this object.
class PeriodicPruning final : public QObject {
public:
    using Job = std::function<void()>;

    PeriodicPruning(std::vector<Job> jobs, std::chrono::milliseconds interval, QObject* parent = nullptr);

    void runNow();

private:
    std::vector<Job> m_jobs;
    QTimer m_timer;
};

} // namespace velnor::server
