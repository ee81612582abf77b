#pragma once

#include "dictation/DictationObserver.h"
#include "history/HistoryEntry.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace velnor {

class Clock;
class HistoryDatabase;
class SerialQueue;

// The dictation history as the app uses it: calls on the main thread, every
// write on the store's own queue, answers back on the main thread.
//
// An entry is written when the dictation starts and rewritten whole at each
// step, so a crash leaves it "recording" or "recognizing" and the next start
// lists it as failed. With history switched off nothing is written at all.
class HistoryStore final {
public:
    // Runs work on the main thread (a queued call in production).
    using MainThreadPoster = std::function<void(std::function<void()>)>;
    struct Dependencies {
        QString databasePath;
        const Clock& clock;
        std::function<bool()> isEnabled;
        MainThreadPoster toMainThread;
    };

    explicit HistoryStore(Dependencies dependencies);
    // Waits for every write already posted.
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the file and marks what a crash left unfinished as failed.
    // `done` gets the error text (none on success) and the recovered ids.
    void open(std::function<void(std::optional<QString> error, QStringList recoveredIds)> done);

    // Each returns the new entry's id, or an empty id with history off.
    QString recordStarted(const QString& mode, const QString& appName, const QString& bundleId);
    void recordRecognizing(const QString& id, double durationSeconds, const QString& recordingPath,
                           const UploadSettings& upload = {});
    void recordDelivered(const QString& id, const QString& recognizedText, const QString& correctedText,
                         const QString& insertionMethod);
    void recordFailed(const QString& id, const QString& errorText);
    void recordCancelled(const QString& id);
    // A failed or cancelled entry whose recording was recognised again:
    // delivered with the text, its recording no longer the only copy.
    void recordRetryDelivered(HistoryEntry entry, const QString& text);

    void fetch(const QString& search, int limit, std::function<void(QList<HistoryEntry>)> done);
    void find(const QString& id, std::function<void(std::optional<HistoryEntry>)> done);
    // Removing entries deletes their recordings too, unless another entry
    // still refers to the same file.
    void remove(const QString& id);
    void clear();
    // Drops entries older than `days` with their recordings; `done` gets how
    // many recordings were deleted. An entry not delivered whose recording
    // is still there is kept whatever its age (the clock that stamped it may
    // have been wrong, and the recording is the only copy of the words)
    // until it is retried or removed.
    void pruneOlderThan(int days, std::function<void(int removedRecordings)> done = {});

    // Whether a recording is the only copy of a dictation not delivered yet;
    // the keep-the-newest-ten prune skips those. Any thread.
    bool isRecordingPinned(const QString& path) const;

    // Called on the main thread after each change has reached the file (a
    // screen showing the history refreshes). One listener; empty to stop.
    void setChangeListener(std::function<void()> listener);

private:
    // Queue thread: opens the file on first use; false (and the reason kept)
    // when it cannot be opened.
    bool ensureOpen();
    // Queue thread: reading, deleting and pruning need no new file. With
    // history off, entries kept earlier can still be read and removed.
    bool openExisting();
    // Queue thread: the first time history is written (or opened switched
    // on) in this run, entries a crash left unfinished become failed.
    QStringList recoverOnce();
    void notifyChanged();
    void write(const HistoryEntry& entry);
    void finish(const QString& id, const std::function<void(HistoryEntry&)>& change);
    void pin(const QString& path);
    void unpin(const QString& path);
    // Queue thread: deletes a recording no entry refers to any more; whether
    // a file was deleted.
    bool discardRecording(const QString& path);
    template <typename Answer>
    void answerOnMain(std::function<void(Answer)> done, Answer answer);

    Dependencies m_deps;
    std::unique_ptr<HistoryDatabase> m_database; // used on the queue only
    QString m_openError; // queue thread
    bool m_recovered = false; // queue thread
    std::unique_ptr<SerialQueue> m_queue;
    QHash<QString, HistoryEntry> m_unfinished; // main thread
    // Held weakly by answers in flight, so none outlives the store.
    std::shared_ptr<std::function<void()>> m_changeListener = std::make_shared<std::function<void()>>();
    mutable std::mutex m_pinnedMutex;
    QSet<QString> m_pinned;
};

} // namespace velnor
