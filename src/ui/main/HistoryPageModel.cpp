#include "ui/main/HistoryPageModel.h"

#include "config/SettingsReaders.h"
#include "core/Clock.h"
#include "history/DictationRetry.h"
#include "history/HistoryStore.h"
#include "log/Logger.h"

#include <algorithm>

namespace velnor {

HistoryPageModel::HistoryPageModel(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_with(std::move(dependencies))
{
}

HistoryPageModel::~HistoryPageModel()
{
    if (m_shown)
        m_with.store.setChangeListener({});
}

bool HistoryPageModel::isHistoryEnabled() const
{
    return settings::historyEnabled(m_with.settings);
}

bool HistoryPageModel::canRetry(const HistoryEntry& entry)
{
    return entry.isRetryable();
}

QString HistoryPageModel::timeLabel(const QDateTime& startedAt, const QDateTime& now)
{
    const QDateTime local = startedAt.toLocalTime();
    const QDate today = now.toLocalTime().date();
    const QString clock = local.toString(QStringLiteral("HH:mm"));
    if (local.date() == today)
        return QStringLiteral("今天 ") + clock;
    if (local.date() == today.addDays(-1))
        return QStringLiteral("昨天 ") + clock;
    const QString day = QStringLiteral("%1月%2日 ").arg(local.date().month()).arg(local.date().day());
    if (local.date().year() == today.year())
        return day + clock;
    return QString::number(local.date().year()) + QStringLiteral("年") + day + clock;
}

QString HistoryPageModel::timeLabel(const HistoryEntry& entry) const
{
    return timeLabel(entry.startedAt, m_with.clock.now());
}

QString HistoryPageModel::modeLabel(const QString& mode)
{
    return mode == QStringLiteral("realtime") ? QStringLiteral("实时识别") : QStringLiteral("录音识别");
}

QString HistoryPageModel::outcomeLabel(HistoryOutcome outcome)
{
    switch (outcome) {
    case HistoryOutcome::Delivered:
        return QStringLiteral("已输入");
    case HistoryOutcome::Failed:
        return QStringLiteral("识别失败");
    case HistoryOutcome::Cancelled:
        return QStringLiteral("已取消");
    case HistoryOutcome::Recording:
    case HistoryOutcome::Recognizing:
        break;
    }
    return QStringLiteral("进行中");
}

void HistoryPageModel::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (!shown) {
        m_with.store.setChangeListener({});
        return;
    }
    m_with.store.setChangeListener([this] { refresh(); });
    refresh();
}

void HistoryPageModel::setSearch(const QString& search)
{
    if (search == m_search)
        return;
    m_search = search;
    refresh();
}

void HistoryPageModel::refresh()
{
    const quint64 number = ++m_fetchNumber;
    m_with.store.fetch(m_search.trimmed(), kShownEntries,
                       [this, number, guard = m_lifetime.guard()](QList<HistoryEntry> newestFirst) {
                           if (guard.expired() || number != m_fetchNumber)
                               return;
                           m_entries = std::move(newestFirst);
                           emit entriesChanged();
                       });
}

const HistoryEntry* HistoryPageModel::entry(const QString& id) const
{
    const auto found =
        std::find_if(m_entries.cbegin(), m_entries.cend(), [&id](const HistoryEntry& each) { return each.id == id; });
    return found == m_entries.cend() ? nullptr : &*found;
}

void HistoryPageModel::setNotice(const QString& notice)
{
    m_notice = notice;
    emit noticeChanged();
}

void HistoryPageModel::copy(const QString& id)
{
    const HistoryEntry* found = entry(id);
    if (!found || found->deliveredText().isEmpty())
        return;
    m_with.text.copy(found->deliveredText());
    setNotice(QStringLiteral("已复制到剪贴板"));
}

void HistoryPageModel::reinsert(const QString& id)
{
    const HistoryEntry* found = entry(id);
    if (!found || found->deliveredText().isEmpty())
        return;
    m_with.log.info(QStringLiteral("从历史重新输入听写文字"));
    m_with.text.reinsert(found->deliveredText());
}

void HistoryPageModel::retry(const QString& id)
{
    const HistoryEntry* found = entry(id);
    if (!found || !canRetry(*found) || isRetrying(id))
        return;
    m_retrying.insert(id);
    emit entriesChanged();
    setNotice(QStringLiteral("正在重新识别…"));
    m_with.retry.retry(id, [this, id, guard = m_lifetime.guard()](Result<QString, QString> result) {
        if (guard.expired())
            return;
        m_retrying.remove(id);
        emit entriesChanged();
        setNotice(result ? QStringLiteral("重新识别成功: ") + result.value()
                         : QStringLiteral("重新识别失败: ") + result.error());
        // The entry is rewritten as delivered; the store's change refreshes a
        // shown list, a hidden one catches up when it is shown again.
    });
}

void HistoryPageModel::remove(const QString& id)
{
    m_with.store.remove(id);
    m_entries.removeIf([&id](const HistoryEntry& each) { return each.id == id; });
    emit entriesChanged();
}

void HistoryPageModel::clearAll()
{
    m_with.log.info(QStringLiteral("清空听写历史"));
    m_with.store.clear();
    m_entries.clear();
    emit entriesChanged();
    setNotice(QString());
}

} // namespace velnor
