#include "history/HistoryStore.h"

#include "core/Clock.h"
#include "core/SerialQueue.h"
#include "history/HistoryDatabase.h"

#include <QFile>
#include <QUuid>

namespace velnor {

namespace {
const QString kCrashedText = QStringLiteral("应用在识别完成前退出");
}

HistoryStore::HistoryStore(Dependencies dependencies)
    : m_deps(std::move(dependencies))
    , m_database(std::make_unique<HistoryDatabase>(m_deps.databasePath))
    , m_queue(std::make_unique<SerialQueue>(QStringLiteral("com.velnor.history")))
{
}

HistoryStore::~HistoryStore()
{
    // Qt's SQL connections belong to the thread that opened them: close on
    // the queue, after every write already posted.
    m_queue->async([this] { m_database.reset(); });
    m_queue.reset();
}

template <typename Answer>
void HistoryStore::answerOnMain(std::function<void(Answer)> done, Answer answer)
{
    if (!done)
        return;
    m_deps.toMainThread([done = std::move(done), answer = std::move(answer)]() mutable { done(std::move(answer)); });
}

void HistoryStore::open(std::function<void(std::optional<QString>, QStringList)> done)
{
    if (!done)
        done = [](std::optional<QString>, QStringList) {};
    m_queue->async([this, done, enabled = m_deps.isEnabled()] {
        // With history off an existing file is only read: its recordings
        // still need their protection, its entries stay as they are.
        if (!enabled) {
            openExisting();
            m_deps.toMainThread([done] { done(std::nullopt, {}); });
            return;
        }
        const std::optional<QString> error = ensureOpen() ? std::nullopt : std::optional(m_openError);
        const QStringList recovered = error ? QStringList() : recoverOnce();
        m_deps.toMainThread([done, error, recovered] { done(error, recovered); });
    });
}

bool HistoryStore::ensureOpen()
{
    if (m_database->isOpen())
        return true;
    if (const auto error = m_database->open()) {
        m_openError = *error;
        return false;
    }
    for (const QString& path : m_database->undeliveredRecordings())
        pin(path);
    return true;
}

QStringList HistoryStore::recoverOnce()
{
    if (m_recovered)
        return {};
    m_recovered = true;
    return m_database->failUnfinished(kCrashedText);
}

bool HistoryStore::openExisting()
{
    return m_database->isOpen() || (QFile::exists(m_deps.databasePath) && ensureOpen());
}

void HistoryStore::setChangeListener(std::function<void()> listener)
{
    *m_changeListener = std::move(listener);
}

void HistoryStore::notifyChanged()
{
    m_deps.toMainThread([listener = std::weak_ptr(m_changeListener)] {
        if (const auto alive = listener.lock(); alive && *alive)
            (*alive)();
    });
}

void HistoryStore::write(const HistoryEntry& entry)
{
    m_queue->async([this, entry, enabled = m_deps.isEnabled()] {
        if (!ensureOpen())
            return;
        // History switched on after a start with it off: what a crash left
        // unfinished is settled before this run's first entry. (A retry with
        // history off rewrites only its own entry.)
        if (enabled)
            recoverOnce();
        if (m_database->upsert(entry))
            notifyChanged();
    });
}

QString HistoryStore::recordStarted(const QString& mode, const QString& appName, const QString& bundleId)
{
    if (!m_deps.isEnabled())
        return {};
    HistoryEntry entry;
    entry.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    entry.startedAt = m_deps.clock.now();
    entry.mode = mode;
    entry.appName = appName;
    entry.bundleId = bundleId;
    m_unfinished.insert(entry.id, entry);
    write(entry);
    return entry.id;
}

void HistoryStore::recordRecognizing(const QString& id, double durationSeconds, const QString& recordingPath,
                                     const UploadSettings& upload)
{
    const auto found = m_unfinished.find(id);
    if (found == m_unfinished.end())
        return;
    found->outcome = HistoryOutcome::Recognizing;
    found->durationSeconds = durationSeconds;
    found->recordingPath = recordingPath;
    if (!upload.appID.isEmpty() || !upload.appName.isEmpty()) {
        found->bundleId = upload.appID;
        found->appName = upload.appName;
    }
    found->outLanguage = upload.outLanguage;
    found->overOver = upload.overOver;
    if (!recordingPath.isEmpty())
        pin(recordingPath);
    write(*found);
}

void HistoryStore::finish(const QString& id, const std::function<void(HistoryEntry&)>& change)
{
    const auto found = m_unfinished.find(id);
    if (found == m_unfinished.end())
        return;
    HistoryEntry entry = *found;
    m_unfinished.erase(found);
    change(entry);
    write(entry);
}

void HistoryStore::recordDelivered(const QString& id, const QString& recognizedText, const QString& correctedText,
                                   const QString& insertionMethod)
{
    finish(id, [&](HistoryEntry& entry) {
        entry.outcome = HistoryOutcome::Delivered;
        entry.recognizedText = recognizedText;
        entry.correctedText = correctedText;
        entry.insertionMethod = insertionMethod;
        unpin(entry.recordingPath);
    });
}

void HistoryStore::recordFailed(const QString& id, const QString& errorText)
{
    finish(id, [&](HistoryEntry& entry) {
        entry.outcome = HistoryOutcome::Failed;
        entry.errorText = errorText;
    });
}

void HistoryStore::recordCancelled(const QString& id)
{
    finish(id, [](HistoryEntry& entry) { entry.outcome = HistoryOutcome::Cancelled; });
}

void HistoryStore::recordRetryDelivered(HistoryEntry entry, const QString& text)
{
    entry.outcome = HistoryOutcome::Delivered;
    entry.recognizedText = text;
    entry.correctedText = text;
    entry.errorText.clear();
    unpin(entry.recordingPath);
    write(entry);
}

void HistoryStore::fetch(const QString& search, int limit, std::function<void(QList<HistoryEntry>)> done)
{
    m_queue->async([this, search, limit, done = std::move(done)]() mutable {
        answerOnMain(std::move(done), openExisting() ? m_database->list(search, limit) : QList<HistoryEntry>());
    });
}

void HistoryStore::find(const QString& id, std::function<void(std::optional<HistoryEntry>)> done)
{
    m_queue->async([this, id, done = std::move(done)]() mutable {
        answerOnMain(std::move(done), openExisting() ? m_database->find(id) : std::nullopt);
    });
}

void HistoryStore::remove(const QString& id)
{
    m_unfinished.remove(id);
    m_queue->async([this, id] {
        if (!openExisting())
            return;
        const auto entry = m_database->find(id);
        if (!m_database->remove(id))
            return;
        if (entry)
            discardRecording(entry->recordingPath);
        notifyChanged();
    });
}

void HistoryStore::clear()
{
    m_unfinished.clear();
    m_queue->async([this] {
        if (!openExisting())
            return;
        const QStringList recordings = m_database->recordings();
        if (!m_database->removeAll())
            return;
        for (const QString& path : recordings)
            discardRecording(path);
        notifyChanged();
    });
}

void HistoryStore::pruneOlderThan(int days, std::function<void(int)> done)
{
    // Strictly before now: an entry stamped in the future is never old.
    const QDateTime cutoff = m_deps.clock.now().addDays(-std::max(0, days));
    m_queue->async([this, cutoff, done = std::move(done)]() mutable {
        int removed = 0;
        bool changed = false;
        const QList<HistoryEntry> old = openExisting() ? m_database->startedBefore(cutoff) : QList<HistoryEntry>();
        for (const HistoryEntry& entry : old) {
            if (entry.outcome != HistoryOutcome::Delivered && !entry.recordingPath.isEmpty()
                && QFile::exists(entry.recordingPath))
                continue;
            if (!m_database->remove(entry.id))
                continue;
            changed = true;
            if (discardRecording(entry.recordingPath))
                ++removed;
        }
        if (changed)
            notifyChanged();
        answerOnMain(std::move(done), removed);
    });
}

bool HistoryStore::discardRecording(const QString& path)
{
    if (path.isEmpty() || m_database->refersTo(path))
        return false;
    unpin(path);
    return QFile::remove(path);
}

bool HistoryStore::isRecordingPinned(const QString& path) const
{
    const std::lock_guard lock(m_pinnedMutex);
    return m_pinned.contains(path);
}

void HistoryStore::pin(const QString& path)
{
    const std::lock_guard lock(m_pinnedMutex);
    m_pinned.insert(path);
}

void HistoryStore::unpin(const QString& path)
{
    if (path.isEmpty())
        return;
    const std::lock_guard lock(m_pinnedMutex);
    m_pinned.remove(path);
}

} // namespace velnor
