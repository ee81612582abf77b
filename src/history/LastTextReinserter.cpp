#include "history/LastTextReinserter.h"

#include "history/HistoryStore.h"
#include "log/Logger.h"

#include <algorithm>

namespace velnor {

namespace {
// Failed and cancelled entries can sit on top of the last delivered one.
constexpr int kEntriesSearched = 100;
} // namespace

LastTextReinserter::LastTextReinserter(HistoryStore& store, Typist type, Logger& log)
    : m_store(store)
    , m_type(std::move(type))
    , m_log(log)
{
}

void LastTextReinserter::reinsertLastText()
{
    m_store.fetch({}, kEntriesSearched, [this, guard = m_lifetime.guard()](QList<HistoryEntry> newestFirst) {
        if (guard.expired())
            return;
        const auto last = std::find_if(newestFirst.cbegin(), newestFirst.cend(), [](const HistoryEntry& entry) {
            return entry.outcome == HistoryOutcome::Delivered && !entry.deliveredText().isEmpty();
        });
        if (last == newestFirst.cend()) {
            m_log.info(QStringLiteral("没有可重新输入的听写文字"));
            return;
        }
        m_log.info(QStringLiteral("重新输入上一条听写文字"));
        m_type(last->deliveredText());
    });
}

} // namespace velnor
