#include "backend/HotWordManager.h"

#include <QHash>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace velnor {

namespace {
using Done = Result<std::monostate, ServiceError>;
} // namespace

HotWordManager::HotWordManager(HotwordService& service, ConsoleSink print, QObject* parent)
    : QObject(parent)
    , m_service(service)
    , m_print(std::move(print))
{
    getHotwordList();
}

qint64 HotWordManager::wireWeight(double weight)
{
    if (std::isnan(weight))
        return 0;
    constexpr double limit = 9223372036854775807.0;
    if (weight >= limit)
        return std::numeric_limits<qint64>::max();
    if (weight <= -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(std::trunc(weight));
}

ServiceError HotWordManager::managerError(int code, const QString& description)
{
    ServiceError error;
    error.domain = kErrorDomain;
    error.code = code;
    error.description = description;
    return error;
}

void HotWordManager::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    emit loadingChanged(loading);
}

void HotWordManager::getHotwordList(ListCallback callback)
{
    const quint64 generation = ++m_startedFetches;
    setLoading(true);
    QPointer<HotWordManager> self(this);
    m_service.getHotwordList(
        [self, generation, callback = std::move(callback)](Result<QList<Hotword>, ServiceError> result) {
            if (!self)
                return;
            if (!result)
                self->m_print(QStringLiteral("获取热词列表失败: ") + result.error().description);
            else if (generation > self->m_appliedFetch) {
                self->m_appliedFetch = generation;
                self->applyFetched(result.value());
            }
            if (generation == self->m_startedFetches)
                self->setLoading(false);
            // A stale or failed fetch answers with the cache, which is at least as new.
            if (callback)
                callback(self->m_cachedHotWords);
        });
}

void HotWordManager::applyFetched(const QList<Hotword>& received)
{
    // With duplicate texts in the cache the first entry's id wins.
    QHash<QString, QUuid> idsByText;
    for (const HotWord& cached : m_cachedHotWords) {
        if (!idsByText.contains(cached.text))
            idsByText.insert(cached.text, cached.id);
    }
    QList<HotWord> fresh;
    fresh.reserve(received.size());
    for (const Hotword& word : received) {
        const QUuid id = idsByText.value(word.text);
        fresh.append(HotWord{id.isNull() ? QUuid::createUuid() : id, word.text, static_cast<double>(word.weight)});
    }
    m_cachedHotWords = std::move(fresh);
    emit hotWordsChanged();
}

void HotWordManager::getAllHotWords(ListCallback callback)
{
    if (!m_cachedHotWords.isEmpty()) {
        callback(m_cachedHotWords);
        return;
    }
    getHotwordList(std::move(callback));
}

void HotWordManager::refreshThenFinish(DoneCallback callback)
{
    getHotwordList([callback = std::move(callback)](const QList<HotWord>&) { callback(Done::success({})); });
}

void HotWordManager::addHotword(const QString& text, double weight, DoneCallback callback)
{
    if (m_cachedHotWords.size() >= kMaxHotWords) {
        callback(Done::failure(managerError(1, QStringLiteral("已达到最大热词数量限制"))));
        return;
    }
    sendAdd(text, wireWeight(weight), std::move(callback));
}

void HotWordManager::updateHotwordWeight(const QString& text, qint64 weight, DoneCallback callback)
{
    const bool listed = std::any_of(m_cachedHotWords.cbegin(), m_cachedHotWords.cend(),
                                    [&](const HotWord& word) { return word.text == text; });
    if (!listed) {
        callback(Done::failure(managerError(4, QStringLiteral("尝试修改的热词不在本地缓存中"))));
        return;
    }
    sendAdd(text, std::clamp(weight, kMinWeight, kMaxWeight), std::move(callback));
}

void HotWordManager::sendAdd(const QString& text, qint64 weight, DoneCallback callback)
{
    QPointer<HotWordManager> self(this);
    m_service.addHotword(text, weight,
                         [self, callback = std::move(callback)](Result<bool, ServiceError> result) {
                             if (!self)
                                 return;
                             if (!result) {
                                 self->m_print(QStringLiteral("调用API添加热词失败: ") + result.error().description);
                                 callback(Done::failure(result.error()));
                                 return;
                             }
                             if (!result.value()) {
                                 const ServiceError error = managerError(3, QStringLiteral("添加热词API调用返回失败"));
                                 self->m_print(QStringLiteral("调用API添加热词失败: ") + error.description);
                                 callback(Done::failure(error));
                                 return;
                             }
                             self->refreshThenFinish(callback);
                         });
}

void HotWordManager::deleteHotword(const QString& text, double /*weight*/, DoneCallback callback)
{
    const auto cached = std::find_if(m_cachedHotWords.cbegin(), m_cachedHotWords.cend(),
                                     [&](const HotWord& word) { return word.text == text; });
    if (cached == m_cachedHotWords.cend()) {
        callback(Done::failure(managerError(4, QStringLiteral("尝试删除的热词不在本地缓存中"))));
        return;
    }
    QPointer<HotWordManager> self(this);
    m_service.deleteHotword(cached->text, wireWeight(cached->weight),
                            [self, callback = std::move(callback)](Result<bool, ServiceError> result) {
                                if (!self)
                                    return;
                                if (!result) {
                                    self->m_print(QStringLiteral("调用API删除热词失败: ") + result.error().description);
                                    callback(Done::failure(result.error()));
                                    return;
                                }
                                if (!result.value()) {
                                    callback(Done::failure(managerError(5, QStringLiteral("删除热词API调用返回失败"))));
                                    return;
                                }
                                self->refreshThenFinish(callback);
                            });
}

} // namespace velnor
