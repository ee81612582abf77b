#include "storage/PeriodicPruning.h"

namespace velnor::server {

PeriodicPruning::PeriodicPruning(std::vector<Job> jobs, std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent)
    , m_jobs(std::move(jobs))
{
    runNow();
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &PeriodicPruning::runNow);
    m_timer.start();
}

void PeriodicPruning::runNow()
{
    for (const Job& job : m_jobs)
        job();
}

} // namespace velnor::server
