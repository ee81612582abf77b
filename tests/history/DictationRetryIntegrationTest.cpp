// A dictation whose upload finds the backend down stays in the history with
// its recording; once a real velnor-server is back, retrying it recognises
// that recording and the entry ends delivered.
#include "backend/APIClient.h"
#include "backend/QASRService.h"
#include "backend/QtHttpTransport.h"
#include "core/QtScheduler.h"
#include "dictation/DictationFixture.h"
#include "history/DictationRetry.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"

#include <QFile>
#include <QNetworkAccessManager>

#include <iostream>

using namespace velnor;
using namespace velnor::test;

namespace {

class DictationRetryIntegration : public DictationTest {
protected:
    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "velnor-server said:\n" << server.standardError().toStdString() << '\n';
    }

    // Recognition through the real client, at the server's current address.
    std::unique_ptr<QASRService> connectedService()
    {
        clients.push_back(std::make_unique<APIClient>(transport, settings, network, log.logger(), log.redactor(),
                                                      server.url(), std::chrono::seconds(20)));
        return std::make_unique<QASRService>(*clients.back(), log.logger());
    }

    QList<HistoryEntry> entries()
    {
        std::optional<QList<HistoryEntry>> answer;
        store.fetch({}, 100, [&](QList<HistoryEntry> all) { answer = std::move(all); });
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }));
        return answer.value_or(QList<HistoryEntry>{});
    }

    TempDir serverData;
    ServerProcess server;
    QtScheduler network;
    QNetworkAccessManager manager;
    QtHttpTransport transport{manager};
    std::vector<std::unique_ptr<APIClient>> clients;
    QObject mainThread;
    HistoryStore store{HistoryStore::Dependencies{
        temp.filePath(QStringLiteral("history.db")), clock, [] { return true; },
        [this](std::function<void()> work) { QMetaObject::invokeMethod(&mainThread, std::move(work), Qt::QueuedConnection); }}};
    HistoryRecorder historyRecorder{store};
};

} // namespace

TEST_F(DictationRetryIntegration, FailedWhileTheServerIsDownDeliveredByRetryOnceItIsBack)
{
    ASSERT_TRUE(server.start(serverData.path())) << server.error().toStdString();
    server.stop();
    const auto downService = connectedService();
    controller = std::make_unique<AppSetupHelper>(
        AppSetupHelper::Collaborators{settings, scheduler, clock, log.logger(), log.printSink(), indicator, recorder,
                                      recordingFiles, sounds, *downService, adjustment, textInput, workspace, keys,
                                      trust, realtime.factory(), QStringLiteral("linux")},
        &historyRecorder);

    pressAndRelease();
    ASSERT_TRUE(waitUntil([&] { return !controller->isCurrentlyRecognizing(); }, 30000));
    QList<HistoryEntry> all = entries();
    ASSERT_EQ(all.size(), 1);
    const HistoryEntry failed = all.first();
    EXPECT_EQ(failed.outcome, HistoryOutcome::Failed);
    EXPECT_FALSE(failed.errorText.isEmpty());
    EXPECT_EQ(failed.recordingPath, recordingFiles.handedOut.last());
    EXPECT_TRUE(QFile::exists(failed.recordingPath));
    EXPECT_TRUE(store.isRecordingPinned(failed.recordingPath)) << "the only copy of the words is kept";
    EXPECT_TRUE(textInput.typed.isEmpty());

    ASSERT_TRUE(server.start(serverData.path())) << server.error().toStdString();
    ASSERT_TRUE(server.scriptRecognizer({QStringLiteral("找回的文字")}));
    const auto upService = connectedService();
    DictationRetry retry(DictationRetry::Dependencies{store, *upService, log.logger(), QStringLiteral("linux")});
    const auto retried = [&] {
        std::optional<Result<QString, QString>> outcome;
        retry.retry(failed.id, [&](Result<QString, QString> result) { outcome = std::move(result); });
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); }, 30000));
        return outcome.value_or(Result<QString, QString>::failure(QStringLiteral("no answer")));
    };
    const auto outcome = retried();
    ASSERT_TRUE(outcome.ok()) << outcome.error().toStdString();
    EXPECT_EQ(outcome.value(), QStringLiteral("找回的文字"));

    all = entries();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all.first().outcome, HistoryOutcome::Delivered);
    EXPECT_EQ(all.first().deliveredText(), QStringLiteral("找回的文字"));
    EXPECT_TRUE(all.first().errorText.isEmpty());
    EXPECT_FALSE(store.isRecordingPinned(failed.recordingPath));

    // Delivered entries are not retried: the text would be typed twice.
    EXPECT_FALSE(retried().ok());
}
