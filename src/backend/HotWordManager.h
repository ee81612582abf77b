#pragma once

#include "backend/HotwordService.h"
#include "log/ConsoleSink.h"

#include <QObject>

#include <variant>

namespace velnor {

// The process-wide hot word cache. It fetches the list once when created,
// refuses an add at 50 cached words and a delete of an uncached text, and
// changes the cache only by replacing it with a fetched list (after every
// successful add or delete). Ids of entries survive a refresh by text.
// Fetches may overlap and answer out of order: a list older than the one
// already applied is dropped, and loading lasts until the newest fetch ends.
// Lives on the main thread; callbacks run there.
class HotWordManager final : public QObject {
    Q_OBJECT
public:
    using ListCallback = std::function<void(const QList<HotWord>&)>;
    using DoneCallback = std::function<void(Result<std::monostate, ServiceError>)>;

    static constexpr qsizetype kMaxHotWords = 50;
    static inline const QString kErrorDomain = QStringLiteral("HotWordManager");

    HotWordManager(HotwordService& service, ConsoleSink print, QObject* parent = nullptr);

    const QList<HotWord>& cachedHotWords() const { return m_cachedHotWords; }
    bool isLoading() const { return m_isLoading; }

    // Refreshes from the backend; the callback gets the new list, or the
    // current one unchanged when the fetch failed.
    void getHotwordList(ListCallback callback = nullptr);
    // The cache, fetched first only when it is empty.
    void getAllHotWords(ListCallback callback);
    void addHotword(const QString& text, double weight, DoneCallback callback);
    void deleteHotword(const QString& text, double weight, DoneCallback callback);
    // Changes the weight of a listed word by adding the same text again (the
    // backend replaces the weight). A full list does not refuse it: the word
    // is already counted, and a delete-then-add could lose it.
    void updateHotwordWeight(const QString& text, qint64 weight, DoneCallback callback);

    // The weights the recogniser and the backend accept.
    static constexpr qint64 kMinWeight = 1;
    static constexpr qint64 kMaxWeight = 11;

    // Weight as the backend takes it: truncated toward zero (NaN counts as 0).
    static qint64 wireWeight(double weight);

signals:
    void hotWordsChanged();
    void loadingChanged(bool loading);

private:
    void setLoading(bool loading);
    void applyFetched(const QList<Hotword>& received);
    void refreshThenFinish(DoneCallback callback);
    static ServiceError managerError(int code, const QString& description);
    void sendAdd(const QString& text, qint64 weight, DoneCallback callback);

    HotwordService& m_service;
    ConsoleSink m_print;
    QList<HotWord> m_cachedHotWords;
    bool m_isLoading = false;
    quint64 m_startedFetches = 0;  // generation of the newest fetch started
    quint64 m_appliedFetch = 0;    // generation of the list in the cache
};

} // namespace velnor
