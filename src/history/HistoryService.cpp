#include "history/HistoryService.h"

#include "config/SettingsReaders.h"
#include "log/Logger.h"

#include <chrono>
#include <utility>

namespace velnor {

namespace {
constexpr Duration kPruneInterval = std::chrono::hours(24);
} // namespace

HistoryService::HistoryService(Dependencies dependencies)
    : m_settings(dependencies.settings)
    , m_scheduler(dependencies.scheduler)
    , m_log(dependencies.log)
    , m_store(HistoryStore::Dependencies{std::move(dependencies.databasePath), dependencies.clock,
                                         [&settings = dependencies.settings] { return settings::historyEnabled(settings); },
                                         std::move(dependencies.toMainThread)})
{
}

HistoryService::~HistoryService()
{
    m_nextPrune.cancel();
}

void HistoryService::start()
{
    m_store.open([this, guard = m_lifetime.guard()](std::optional<QString> error, QStringList recoveredIds) {
        if (guard.expired())
            return;
        if (error)
            m_log.error(QStringLiteral("打开听写历史失败: ") + *error);
        else if (!recoveredIds.isEmpty())
            m_log.warning(QStringLiteral("上次未完成的听写已标记为失败: ") + QString::number(recoveredIds.size()) + QStringLiteral("条"));
    });
    pruneAndRearm();
}

void HistoryService::pruneAndRearm()
{
    const int days = settings::historyRetentionDays(m_settings);
    m_store.pruneOlderThan(days, [this, guard = m_lifetime.guard(), days](int removedRecordings) {
        if (guard.expired())
            return;
        m_log.info(QStringLiteral("听写历史已清理超过") + QString::number(days) + QStringLiteral("天的记录，删除录音")
                   + QString::number(removedRecordings) + QStringLiteral("个"));
    });
    m_nextPrune.cancel();
    m_nextPrune = m_scheduler.after(kPruneInterval, [this] { pruneAndRearm(); });
}

} // namespace velnor
