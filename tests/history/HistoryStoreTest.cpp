#include "core/Clock.h"
#include "history/DictationRetry.h"
#include "history/HistoryStore.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "testing/FakeBackendServices.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

using namespace velnor;

namespace {

class HistoryStoreTest : public ::testing::Test {
protected:
    std::unique_ptr<HistoryStore> makeStore()
    {
        // Answers run on the store's queue; each test waits on a future.
        return std::make_unique<HistoryStore>(HistoryStore::Dependencies{
            dbPath(), clock, [this] { return enabled; }, [](std::function<void()> work) { work(); }});
    }
    std::unique_ptr<HistoryStore> openedStore()
    {
        auto store = makeStore();
        open(*store);
        return store;
    }
    QString dbPath() const { return dir.filePath(QStringLiteral("history/history.db")); }

    QList<HistoryEntry> all(HistoryStore& store, const QString& search = {})
    {
        std::promise<QList<HistoryEntry>> answer;
        store.fetch(search, 100, [&](QList<HistoryEntry> entries) { answer.set_value(std::move(entries)); });
        return answer.get_future().get();
    }
    QStringList open(HistoryStore& store)
    {
        std::promise<QStringList> answer;
        store.open([&](std::optional<QString> error, QStringList recovered) {
            EXPECT_FALSE(error.has_value()) << error.value_or(QString()).toStdString();
            answer.set_value(recovered);
        });
        return answer.get_future().get();
    }
    // One dictation through to its outcome (Recognizing: the run died
    // before any outcome was recorded). Returns the entry's id.
    QString record(HistoryStore& store, const QString& app, const QString& recording, HistoryOutcome outcome)
    {
        const QString id = store.recordStarted("traditional", app, "app");
        store.recordRecognizing(id, 1.0, recording);
        if (outcome == HistoryOutcome::Delivered)
            store.recordDelivered(id, "text", "text", "clipboard");
        else if (outcome == HistoryOutcome::Failed)
            store.recordFailed(id, "超时");
        else if (outcome == HistoryOutcome::Cancelled)
            store.recordCancelled(id);
        return id;
    }
    int prune(HistoryStore& store, int days)
    {
        std::promise<int> removed;
        store.pruneOlderThan(days, [&](int count) { removed.set_value(count); });
        return removed.get_future().get();
    }
    test::TempDir dir;
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(9, 0), Qt::UTC)};
    bool enabled = true;
};

TEST_F(HistoryStoreTest, EachDictationEndsDeliveredFailedOrCancelledNewestFirstAndRemovingEntriesDeletesTheirRecordingsUnlessAnotherEntryNeedsIt)
{
    auto store = openedStore();
    const QString delivered = store->recordStarted("traditional", "Editor", "org.example.Editor");
    store->recordRecognizing(delivered, 2.5, "/tmp/1.m4a");
    store->recordDelivered(delivered, "hello wrld", "hello world", "clipboard");
    clock.advance(1000);
    const QString failed = store->recordStarted("traditional", "Terminal", "xterm");
    store->recordRecognizing(failed, 1.0, "/tmp/2.m4a");
    store->recordFailed(failed, "网络连接失败");
    clock.advance(1000);
    const QString cancelled = store->recordStarted("realtime", "Chat", "chat");
    store->recordCancelled(cancelled);
    store->recordDelivered(cancelled, "late", "late", "unknown"); // a finished entry stays as it ended

    const QDateTime now = clock.now();
    EXPECT_EQ(all(*store), (QList<HistoryEntry>{
                               {cancelled, now, "realtime", "Chat", "chat", {}, false, 0, {}, {}, {}, {}, HistoryOutcome::Cancelled, {}},
                               {failed, now.addMSecs(-1000), "traditional", "Terminal", "xterm", {}, false, 1.0, "/tmp/2.m4a", {},
                                {}, {}, HistoryOutcome::Failed, "网络连接失败"},
                               {delivered, now.addMSecs(-2000), "traditional", "Editor", "org.example.Editor", {}, false, 2.5,
                                "/tmp/1.m4a", "hello wrld", "hello world", "clipboard", HistoryOutcome::Delivered, {}},
                           }));

    EXPECT_TRUE(store->isRecordingPinned("/tmp/2.m4a")); // failed: the only copy of that speech
    EXPECT_FALSE(store->isRecordingPinned("/tmp/1.m4a"));

    EXPECT_EQ(all(*store, "_").size(), 0); // LIKE wildcards are searched for literally
    EXPECT_EQ(all(*store, "world").size(), 1);
    EXPECT_EQ(all(*store, "Terminal").size(), 1);

    store->remove(failed);
    EXPECT_EQ(all(*store).size(), 2);
    EXPECT_FALSE(store->isRecordingPinned("/tmp/2.m4a"));

    // Removing entries deletes their recordings unless another entry needs it.
    const QString shared = dir.writeFile("1765000000.5.m4a", "m4a");
    const QString own = dir.writeFile("1765000001.5.m4a", "m4a");
    const QString other = dir.writeFile("1765000002.5.m4a", "m4a");
    QStringList ids;
    for (const QString& recording : {shared, shared, own, other})
        ids << record(*store, "Editor", recording, HistoryOutcome::Failed);

    store->remove(ids[0]);
    store->remove(ids[2]);
    all(*store); // the store answers in order: both removals have run
    EXPECT_TRUE(QFile::exists(shared)) << "the other entry still needs it";
    EXPECT_TRUE(store->isRecordingPinned(shared));
    EXPECT_FALSE(QFile::exists(own));
    EXPECT_FALSE(store->isRecordingPinned(own));

    store->clear();
    EXPECT_TRUE(all(*store).isEmpty());
    EXPECT_FALSE(QFile::exists(shared));
    EXPECT_FALSE(QFile::exists(other));
    EXPECT_TRUE(QFile::exists(dir.filePath("history/history.db"))) << "only recordings are deleted";
}

TEST_F(HistoryStoreTest, DictationLeftUnfinishedByACrashIsListedAsFailedAndKeepsItsRecording)
{
    // Restarted with history on, and with history off until it is switched back on.
    for (const bool onAtRestart : {true, false}) {
        SCOPED_TRACE(onAtRestart ? "history on" : "history off at restart");
        QFile::remove(dbPath());
        const QString recording = dir.writeFile("1765000000.5.m4a", "m4a");
        const QString crashed = record(*openedStore(), "Editor", recording, HistoryOutcome::Recognizing);
        enabled = onAtRestart;
        auto restarted = makeStore();
        EXPECT_EQ(open(*restarted), onAtRestart ? QStringList{crashed} : QStringList{});
        EXPECT_TRUE(restarted->isRecordingPinned(recording)) << "the keep-ten prune must not take it";
        EXPECT_EQ(all(*restarted).value(0).outcome, onAtRestart ? HistoryOutcome::Failed : HistoryOutcome::Recognizing);
        EXPECT_TRUE(open(*restarted).isEmpty()) << "recovered only once";

        enabled = true; // switched on in the settings, then a dictation
        record(*restarted, "Mail", QString(), HistoryOutcome::Cancelled);
        const auto entries = all(*restarted);
        ASSERT_EQ(entries.size(), 2);
        EXPECT_EQ(entries[1].id, crashed);
        EXPECT_EQ(entries[1].outcome, HistoryOutcome::Failed);
        EXPECT_FALSE(entries[1].errorText.isEmpty());
        EXPECT_EQ(entries[0].outcome, HistoryOutcome::Cancelled);
    }
}

TEST_F(HistoryStoreTest, RetentionByAgeNeverTakesTheOnlyCopyOfWordsNotDelivered)
{
    // A clock that ran behind stamped some entries 40 days early, one that
    // ran ahead a year late; the prune runs on the corrected clock.
    // Name, age in days, outcome, with a recording, the recording still there, kept.
    const QList<std::tuple<const char*, qint64, HistoryOutcome, bool, bool, bool>> cases{
        {"old, delivered", 40, HistoryOutcome::Delivered, true, true, false},
        {"old, failed, recording kept", 40, HistoryOutcome::Failed, true, true, true},
        {"old, cancelled in its upload", 40, HistoryOutcome::Cancelled, true, true, true},
        {"old, failed, recording gone", 40, HistoryOutcome::Failed, true, false, false},
        {"old, real-time, failed", 40, HistoryOutcome::Failed, false, false, false},
        {"recent, delivered", 2, HistoryOutcome::Delivered, true, true, true},
        {"stamped in the future", -365, HistoryOutcome::Delivered, true, true, true},
    };
    auto store = openedStore();
    const QDateTime now = clock.now();
    QHash<QString, QString> recordingOf;
    for (const auto& [name, ageDays, outcome, withRecording, recordingStillThere, kept] : cases) {
        clock.set(now.addDays(-ageDays));
        const QString recording = withRecording ? dir.writeFile(QString::number(recordingOf.size()) + ".m4a", "m4a") : QString();
        if (withRecording && !recordingStillThere)
            QFile::remove(recording);
        record(*store, name, recording, outcome);
        recordingOf.insert(name, recording);
    }
    clock.set(now);

    EXPECT_EQ(prune(*store, 30), 1);
    QStringList listed;
    for (const HistoryEntry& entry : all(*store))
        listed << entry.appName;
    for (const auto& [name, ageDays, outcome, withRecording, recordingStillThere, kept] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(listed.contains(name), kept);
        if (recordingStillThere) {
            EXPECT_EQ(QFile::exists(recordingOf.value(name)), kept);
        }
    }

    // Once retried, the old entry is an ordinary delivered one.
    const QList<HistoryEntry> left = all(*store);
    const auto failed = std::find_if(left.cbegin(), left.cend(),
                                     [](const HistoryEntry& e) { return e.outcome == HistoryOutcome::Failed; });
    ASSERT_NE(failed, left.cend());
    store->recordRetryDelivered(*failed, "text");
    // Retrying it again would type the words twice: refused, nothing sent.
    test::LogCapture log;
    FakeFileRecognitionService recognition;
    DictationRetry retry({*store, recognition, log.logger(), QStringLiteral("linux")});
    std::optional<Result<QString, QString>> again;
    retry.retry(failed->id, [&](Result<QString, QString> result) { again = std::move(result); });
    all(*store); // the store answers in order: the retry has looked the entry up
    EXPECT_TRUE(again.has_value() && !again->ok());
    EXPECT_TRUE(recognition.recognitions.isEmpty());
    EXPECT_EQ(prune(*store, 30), 1);
    EXPECT_FALSE(QFile::exists(failed->recordingPath));
}

TEST_F(HistoryStoreTest, FileIsTheUsersAloneAndHistoryOffWritesNothing)
{
    {
        auto store = openedStore();
        store->recordStarted("traditional", "A", "a");
    }
    const auto groupOrOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(dbPath()) & groupOrOthers, 0);
    EXPECT_TRUE(QFile::permissions(dbPath()) & QFileDevice::WriteOwner);
    EXPECT_EQ(QFile::permissions(QFileInfo(dbPath()).absolutePath()) & groupOrOthers, 0);
    QFile::remove(dbPath());

    enabled = false;
    auto off = makeStore();
    open(*off);
    const QString id = off->recordStarted("traditional", "A", "a");
    EXPECT_TRUE(id.isEmpty());
    off->recordFailed(id, "x");
    EXPECT_TRUE(all(*off).isEmpty()); // reading creates no file either
    off.reset();
    EXPECT_FALSE(QFile::exists(dbPath()));
}

TEST_F(HistoryStoreTest, AFileFromBeforeTheUploadColumnsKeepsItsEntriesAndGainsThem)
{
    {
        QDir().mkpath(QFileInfo(dbPath()).absolutePath());
        QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old-file"));
        old.setDatabaseName(dbPath());
        ASSERT_TRUE(old.open());
        QSqlQuery query(old);
        ASSERT_TRUE(query.exec("CREATE TABLE history (id TEXT PRIMARY KEY, started_at INTEGER NOT NULL, mode TEXT NOT NULL, "
                               "app_name TEXT, bundle_id TEXT, duration REAL, recording_path TEXT, recognized_text TEXT, "
                               "corrected_text TEXT, insertion_method TEXT, outcome TEXT NOT NULL, error_text TEXT)"));
        ASSERT_TRUE(query.exec("INSERT INTO history VALUES ('old', 1, 'traditional', 'Editor', 'ed', 1.0, '/r/1.m4a', "
                               "'hi', 'hi', 'clipboard', 'delivered', '')"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old-file"));

    auto store = openedStore();
    const QString id = store->recordStarted("traditional", "Mail", "mail");
    store->recordRecognizing(id, 1.0, "/r/2.m4a", {"mail", "Mail", QStringLiteral("en"), true});
    store->recordFailed(id, "超时");
    const auto entries = all(*store);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1].id, "old");
    EXPECT_EQ(entries[1].deliveredText(), "hi");
    EXPECT_FALSE(entries[1].outLanguage.has_value());
    EXPECT_EQ(entries[0].outLanguage, QStringLiteral("en"));
    EXPECT_TRUE(entries[0].overOver);
}

} // namespace
