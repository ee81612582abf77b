#pragma once

#include "core/Lifetime.h"
#include "history/HistoryEntry.h"

#include <QObject>
#include <QSet>

#include <functional>

namespace velnor {

class Clock;
class DictationRetry;
class HistoryStore;
class Logger;
class SettingsStore;

// The history screen's state: the newest entries matching the search, which
// of them are being retried, and a one-line notice of the last action.
// Main thread only.
class HistoryPageModel final : public QObject {
    Q_OBJECT
public:
    static constexpr int kShownEntries = 200;

    // What the screen does with an entry's text outside the history.
    struct TextActions {
        std::function<void(const QString&)> copy;
        // Types into the application the user was in before the window.
        std::function<void(const QString&)> reinsert;
    };
    struct Dependencies {
        HistoryStore& store;
        DictationRetry& retry;
        const SettingsStore& settings;
        const Clock& clock;
        Logger& log;
        TextActions text;
    };

    explicit HistoryPageModel(Dependencies dependencies, QObject* parent = nullptr);
    ~HistoryPageModel() override;

    const QList<HistoryEntry>& entries() const { return m_entries; }
    const QString& search() const { return m_search; }
    bool isHistoryEnabled() const;
    bool isRetrying(const QString& id) const { return m_retrying.contains(id); }
    const QString& notice() const { return m_notice; }

    // Only a file-mode dictation that did not deliver and whose recording is
    // kept can be sent again.
    static bool canRetry(const HistoryEntry& entry);
    // "今天 09:05", "昨天 23:10", "12月4日 08:00", "2025年12月4日 08:00".
    static QString timeLabel(const QDateTime& startedAt, const QDateTime& now);
    static QString modeLabel(const QString& mode);
    static QString outcomeLabel(HistoryOutcome outcome);
    QString timeLabel(const HistoryEntry& entry) const;

    // While shown, every change to the history refreshes the list.
    void setShown(bool shown);
    void setSearch(const QString& search);
    void refresh();

    void copy(const QString& id);
    void reinsert(const QString& id);
    void retry(const QString& id);
    void remove(const QString& id);
    void clearAll();

signals:
    // The list or an entry's retry state changed.
    void entriesChanged();
    void noticeChanged();

private:
    const HistoryEntry* entry(const QString& id) const;
    void setNotice(const QString& notice);

    Dependencies m_with;
    QList<HistoryEntry> m_entries;
    QString m_search;
    QSet<QString> m_retrying;
    QString m_notice;
    bool m_shown = false;
    // Answers of older fetches (an earlier search) never replace newer ones.
    quint64 m_fetchNumber = 0;
    Lifetime m_lifetime;
};

} // namespace velnor
